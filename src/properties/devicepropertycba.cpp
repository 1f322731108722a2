#include "properties/devicepropertycba.h"

#include <QJsonObject>

#include <cmath>
#include <limits>

namespace
{

const QString kAll = QStringLiteral("all");
const QString kAuto = QStringLiteral("a");
const QStringList kSides{QStringLiteral("top"), QStringLiteral("right"), QStringLiteral("bottom"),
                         QStringLiteral("left")};

bool wholeNumber(const QJsonValue& value, int* out)
{
    const double number = value.toDouble(0.5);
    if (!value.isDouble() || number != std::trunc(number) || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max())
        return false;
    *out = int(number);
    return true;
}

int integerOf(const QVariant& text)
{
    bool ok = false;
    const int number = text.toString().trimmed().toInt(&ok, 10);
    return ok ? number : 0;
}

} // namespace

DevicePropertyCba::DevicePropertyCba(CVNDeviceInterface* interface, const QString& name, const QString& description,
                                     const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
    , m_action(kAll)
{
}

void DevicePropertyCba::setSymbolExtra(const QString& role, const QString& value)
{
    if (role == kAll || kSides.contains(role))
        m_actions.insert(role, value);
}

QString DevicePropertyCba::actionName(const QString& action) const
{
    return m_actions.value(action, QStringLiteral("cba.") + action);
}

int DevicePropertyCba::sideValue(const QString& side, int index) const
{
    const int at = kSides.indexOf(side);
    return at < 0 || index < 0 || index > 1 ? 0 : m_values[2 * at + index];
}

CVNDeviceRequest DevicePropertyCba::makeRequest()
{
    if (requestState() == ReplyReceived && !isMutable())
        return CVNDeviceRequest();
    if (requestState() == ActionRequested && isWritable() && kSides.contains(m_action)) {
        CVNDeviceRequest request(CVNDeviceRequest::Set, actionName(m_action), 0);
        request.value = requestValue();
        return request;
    }
    m_action = kAll;
    return CVNDeviceRequest(CVNDeviceRequest::Get, actionName(kAll), 0);
}

QVariant DevicePropertyCba::requestValue() const
{
    if (m_auto)
        return kAuto;
    return QVariantList{sideValue(m_action, 0), sideValue(m_action, 1)};
}

void DevicePropertyCba::assignReply(const QVariant& value)
{
    m_auto = false;
    const QVariantList list = value.toList();
    if (m_action == kAll && list.size() == 8) {
        for (int i = 0; i < 8; ++i)
            m_values[i] = integerOf(list.at(i));
    } else if (kSides.contains(m_action) && list.size() == 2) {
        const int at = kSides.indexOf(m_action);
        m_values[2 * at] = integerOf(list.at(0));
        m_values[2 * at + 1] = integerOf(list.at(1));
    }
    std::copy(m_values, m_values + 8, m_confirmed);
}

void DevicePropertyCba::readAll()
{
    m_action = kAll;
    setRequestState(DownloadRequested);
    send();
}

void DevicePropertyCba::writeSide(const QString& side)
{
    m_action = side;
    setRequestState(ActionRequested);
    send();
    m_auto = false;
    // A value the controller did not take is not claimed.
    if (requestState() != ReplyReceived)
        std::copy(m_confirmed, m_confirmed + 8, m_values);
    refreshDependents();
}

QString DevicePropertyCba::errorOr(const QString& text) const
{
    return requestState() == Idle && !lastError().isEmpty() ? lastError() : text;
}

QString DevicePropertyCba::sideText(const QString& side) const
{
    return QStringLiteral("%1 %2 %3").arg(side).arg(sideValue(side, 0)).arg(sideValue(side, 1));
}

QString DevicePropertyCba::writeWords(const QStringList& words)
{
    if (words.size() < 2 || words.size() > 3 || !kSides.contains(words.first()))
        return invalidArgumentsText();
    const int at = kSides.indexOf(words.first());
    if (words.size() == 2) {
        if (words.at(1) != kAuto)
            return invalidArgumentsText();
        if (!isWritable())
            return notWritableText();
        m_auto = true;
        m_values[2 * at] = -1;
        m_values[2 * at + 1] = -1;
        return QString();
    }
    bool okX = false;
    bool okY = false;
    const int x = words.at(1).toInt(&okX, 10);
    const int y = words.at(2).toInt(&okY, 10);
    if (!okX || !okY)
        return invalidArgumentsText();
    if (!isWritable())
        return notWritableText();
    m_auto = false;
    m_values[2 * at] = x;
    m_values[2 * at + 1] = y;
    return QString();
}

QString DevicePropertyCba::execute(CVNEntityContext& context)
{
    const QStringList& words = context.arguments;
    const bool show = words.size() == 1;
    if (show && !kSides.contains(words.first()))
        return invalidArgumentsText();
    if (words.size() > 3)
        return invalidArgumentsText();
    if (words.size() >= 2) {
        // Checked before anything is sent; applied after the read below.
        const QString message = writeWords(words);
        m_auto = false;
        std::copy(m_confirmed, m_confirmed + 8, m_values);
        if (!message.isEmpty())
            return message;
    }

    readAll();
    if (words.isEmpty())
        return errorOr(valueText());
    if (show)
        return errorOr(sideText(words.first()));
    if (!errorOr(QString()).isEmpty())
        return lastError();
    (void)writeWords(words);
    writeSide(words.first());
    return errorOr(sideText(words.first()));
}

void DevicePropertyCba::setValue(const QJsonValue& value)
{
    if (!isWritable())
        return;
    // Checked before anything is sent.
    int saved[8];
    std::copy(m_values, m_values + 8, saved);
    const bool valid = assignJson(value);
    std::copy(saved, saved + 8, m_values);
    if (!valid)
        return;
    // The other sides are answered too: know them first.
    if (requestState() != ReplyReceived)
        readAll();
    (void)assignJson(value);
    writeSide(m_action);
}

bool DevicePropertyCba::assignJson(const QJsonValue& value)
{
    if (!value.isObject())
        return false;
    const QJsonObject object = value.toObject();
    for (const QString& side : {QStringLiteral("left"), QStringLiteral("top"), QStringLiteral("right"),
                                QStringLiteral("bottom")}) {
        if (!object.contains(side))
            continue;
        const QJsonObject pair = object.value(side).toObject();
        int x = 0;
        int y = 0;
        if (!object.value(side).isObject() || !wholeNumber(pair.value(QStringLiteral("x")), &x)
            || !wholeNumber(pair.value(QStringLiteral("y")), &y))
            return false;
        const int at = kSides.indexOf(side);
        m_values[2 * at] = x;
        m_values[2 * at + 1] = y;
        m_auto = false;
        m_action = side;
        return true;
    }
    return false;
}

QString DevicePropertyCba::valueText() const
{
    return QStringLiteral("(%1,%2) (%3,%4) (%5,%6) (%7,%8)")
        .arg(m_values[0]).arg(m_values[1]).arg(m_values[2]).arg(m_values[3])
        .arg(m_values[4]).arg(m_values[5]).arg(m_values[6]).arg(m_values[7]);
}

QJsonValue DevicePropertyCba::cachedJson() const
{
    QJsonObject object;
    for (const QString& side : kSides)
        object.insert(side, QJsonObject{{QStringLiteral("x"), sideValue(side, 0)},
                                        {QStringLiteral("y"), sideValue(side, 1)}});
    return object;
}
