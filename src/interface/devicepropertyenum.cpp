#include "interface/devicepropertyenum.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

namespace {
QJsonArray toJsonArray(const QStringList& words)
{
    QJsonArray array;
    for (const QString& word : words)
        array.append(word);
    return array;
}

bool admitWord(const QStringList& values, const QString& word, QString* stored)
{
    const QString lower = word.toLower();
    for (const QString& value : values) {
        if (value.compare(lower, Qt::CaseInsensitive) == 0) {
            *stored = lower;
            return true;
        }
    }
    return false;
}
}  // namespace

DevicePropertyEnum::DevicePropertyEnum(CVNDeviceInterface* interface, const QString& name,
                                       const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

QJsonObject DevicePropertyEnum::describe() const
{
    QJsonObject object = DeviceProperty::describe();
    object.insert(QStringLiteral("values"), toJsonArray(m_values));
    return object;
}

bool DevicePropertyEnum::admit(const QString& word, QString* stored) const
{
    return admitWord(m_values, word, stored);
}

QString DevicePropertyEnum::writeWords(const QStringList& words)
{
    if (words.size() != 1)
        return QStringLiteral("Invalid arguments");
    if (!isWritable())
        return notWritableText();
    QString stored;
    if (!admit(words.first(), &stored))
        return QStringLiteral("Invalid arguments");
    m_value = stored;
    return QString();
}

bool DevicePropertyEnum::assignJson(const QJsonValue& value)
{
    QString stored;
    if (!value.isString() || !admit(value.toString(), &stored))
        return false;
    m_value = stored;
    return true;
}

DevicePropertyEnumList::DevicePropertyEnumList(CVNDeviceInterface* interface, const QString& name,
                                               const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

QJsonObject DevicePropertyEnumList::describe() const
{
    QJsonObject object = DeviceProperty::describe();
    object.insert(QStringLiteral("values"), toJsonArray(m_values));
    return object;
}

bool DevicePropertyEnumList::admitAll(const QStringList& words, QStringList* stored) const
{
    QStringList result;
    for (const QString& word : words) {
        QString one;
        if (!admitWord(m_values, word, &one))
            return false;
        result.append(one);
    }
    *stored = result;
    return true;
}

QString DevicePropertyEnumList::writeWords(const QStringList& words)
{
    if (!isWritable())
        return notWritableText();
    QStringList stored;
    if (!admitAll(words, &stored))
        return QStringLiteral("Invalid arguments");
    m_value = stored;
    return QString();
}

bool DevicePropertyEnumList::assignJson(const QJsonValue& value)
{
    QStringList words;
    if (value.isArray()) {
        for (const QJsonValue& element : value.toArray()) {
            if (!element.isString())
                return false;
            words.append(element.toString());
        }
    } else if (value.isString()) {
        words = value.toString().split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    } else {
        return false;
    }
    return admitAll(words, &m_value);
}

void DevicePropertyEnumList::assignReply(const QVariant& value)
{
    // The bulk channel hands the words over as a list, the command channel as text.
    if (value.userType() == QMetaType::QVariantList || value.userType() == QMetaType::QStringList) {
        m_value = value.toStringList();
        return;
    }
    m_value = value.toString().split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
}

QJsonValue DevicePropertyEnumList::cachedJson() const
{
    return toJsonArray(m_value);
}
