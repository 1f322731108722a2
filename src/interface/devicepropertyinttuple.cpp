#include "interface/devicepropertyinttuple.h"

#include <QJsonArray>
#include <QPoint>
#include <QSize>
#include <QStringList>

DevicePropertyIntTuple::DevicePropertyIntTuple(CVNDeviceInterface* interface, const QString& name,
                                               const QString& description, const QString& command, int accessMode,
                                               int count)
    : DeviceProperty(interface, name, description, command, accessMode)
    , m_value(count, 0)
{
}

bool DevicePropertyIntTuple::parseWords(const QStringList& words, int count, QVector<int>* numbers)
{
    if (words.size() != count)
        return false;
    QVector<int> result;
    for (const QString& word : words) {
        bool ok = false;
        const int number = word.trimmed().toInt(&ok, 10);
        if (!ok)
            return false;
        result.append(number);
    }
    *numbers = result;
    return true;
}

bool DevicePropertyIntTuple::fromVariant(const QVariant& value, int count, QVector<int>* numbers)
{
    if (value.type() == QVariant::Point && count == 2) {
        *numbers = {value.toPoint().x(), value.toPoint().y()};
        return true;
    }
    if (value.type() == QVariant::Size && count == 2) {
        *numbers = {value.toSize().width(), value.toSize().height()};
        return true;
    }
    if (value.canConvert<QVariantList>() && value.type() != QVariant::String) {
        const QVariantList list = value.toList();
        if (list.size() != count)
            return false;
        QVector<int> result;
        for (const QVariant& element : list) {
            bool ok = false;
            result.append(element.toInt(&ok));
            if (!ok)
                return false;
        }
        *numbers = result;
        return true;
    }
    return parseWords(value.toString().split(QLatin1Char(' '), Qt::SkipEmptyParts), count, numbers);
}

QString DevicePropertyIntTuple::writeWords(const QStringList& words)
{
    static const QString invalid = QStringLiteral("invalid arguments");
    if (words.size() != count())
        return invalid;
    if (!isWritable())
        return notWritableText();
    QVector<int> parsed;
    if (!parseWords(words, count(), &parsed))
        return invalid;
    m_value = parsed;
    return QString();
}

bool DevicePropertyIntTuple::assignJson(const QJsonValue& value)
{
    QVector<int> parsed;
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        if (array.size() != count())
            return false;
        for (const QJsonValue& element : array) {
            const double number = element.toDouble(0.5);
            if (!element.isDouble() || number != double(int(number)))
                return false;
            parsed.append(int(number));
        }
    } else if (!value.isString() || !fromVariant(value.toString(), count(), &parsed)) {
        return false;
    }
    m_value = parsed;
    return true;
}

void DevicePropertyIntTuple::assignReply(const QVariant& value)
{
    QVector<int> parsed;
    if (fromVariant(value, count(), &parsed))
        m_value = parsed;
}

QString DevicePropertyIntTuple::valueText() const
{
    QStringList words;
    for (int number : m_value)
        words.append(QString::number(number));
    return words.join(QLatin1Char(' '));
}

QJsonValue DevicePropertyIntTuple::cachedJson() const
{
    QJsonArray array;
    for (int number : m_value)
        array.append(number);
    return array;
}

QVariant DevicePropertyIntTuple::requestValue() const
{
    QVariantList list;
    for (int number : m_value)
        list.append(number);
    return list;
}
