#include "properties/devicepropertytouchsnaptoedge.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace
{

const QString kAll = QStringLiteral("all");
const QString kReset = QStringLiteral("reset");
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

} // namespace

DevicePropertyTouchSnapToEdge::DevicePropertyTouchSnapToEdge(CVNDeviceInterface* interface, const QString& name,
                                                             const QString& description, const QString& command,
                                                             int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
    , m_action(kAll)
{
}

void DevicePropertyTouchSnapToEdge::setSymbolExtra(const QString& role, const QString& value)
{
    if (role == kAll || role == kReset || kSides.contains(role))
        m_actions.insert(role, value);
}

QString DevicePropertyTouchSnapToEdge::actionName(const QString& action) const
{
    return m_actions.value(action, QStringLiteral("tste.") + action);
}

int DevicePropertyTouchSnapToEdge::side(const QString& side) const
{
    const int index = kSides.indexOf(side);
    return index < 0 ? -1 : m_values[index];
}

CVNDeviceRequest DevicePropertyTouchSnapToEdge::makeRequest()
{
    if (requestState() == ReplyReceived && !isMutable())
        return CVNDeviceRequest();
    if (requestState() == ActionRequested && isWritable()) {
        CVNDeviceRequest request(CVNDeviceRequest::Set, actionName(m_action), 0);
        request.value = requestValue();
        return request;
    }
    m_action = kAll;
    return CVNDeviceRequest(CVNDeviceRequest::Get, actionName(kAll), 0);
}

QVariant DevicePropertyTouchSnapToEdge::requestValue() const
{
    if (m_action == kAll)
        return QVariantList{m_values[0], m_values[1], m_values[2], m_values[3]};
    const int index = kSides.indexOf(m_action);
    return index < 0 ? QVariant() : QVariant(m_values[index]);
}

void DevicePropertyTouchSnapToEdge::assignReply(const QVariant& value)
{
    if (m_action == kAll) {
        const QVariantList list = value.toList();
        if (list.size() == 4) {
            for (int i = 0; i < 4; ++i)
                m_values[i] = list.at(i).toInt();
        }
    } else if (kSides.contains(m_action)) {
        m_values[kSides.indexOf(m_action)] = value.toInt();
    }
    std::copy(m_values, m_values + 4, m_confirmed);
}

void DevicePropertyTouchSnapToEdge::readAll()
{
    m_action = kAll;
    setRequestState(DownloadRequested);
    send();
}

void DevicePropertyTouchSnapToEdge::writeAction(const QString& action)
{
    m_action = action;
    setRequestState(ActionRequested);
    send();
    // A value the controller did not take is not claimed.
    if (requestState() != ReplyReceived)
        std::copy(m_confirmed, m_confirmed + 4, m_values);
    // The controller's defaults are known only by asking for them.
    if (action == kReset && requestState() == ReplyReceived)
        readAll();
    refreshDependents();
}

QString DevicePropertyTouchSnapToEdge::errorOr(const QString& text) const
{
    return requestState() == Idle && !lastError().isEmpty() ? lastError() : text;
}

DevicePropertyTouchSnapToEdge::Words DevicePropertyTouchSnapToEdge::parseWords(const QStringList& words)
{
    Words parsed;
    const QString first = words.value(0);
    switch (words.size()) {
    case 0:
        parsed.form = Words::ShowAll;
        return parsed;
    case 1:
        if (kSides.contains(first))
            parsed.form = Words::ShowSide;
        else if (first == kReset)
            parsed.form = Words::Reset;
        parsed.side = first;
        return parsed;
    case 2: {
        if (!kSides.contains(first))
            return parsed;
        parsed.side = first;
        bool ok = false;
        parsed.numbers[0] = words.at(1).toInt(&ok, 10);
        if (ok)
            parsed.form = Words::SetSide;
        return parsed;
    }
    case 4:
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            parsed.numbers[i] = words.at(i).toInt(&ok, 10);
            if (!ok)
                return parsed;
        }
        parsed.form = Words::SetAll;
        return parsed;
    default:
        return parsed;
    }
}

QString DevicePropertyTouchSnapToEdge::writeWords(const QStringList& words)
{
    const Words parsed = parseWords(words);
    if (parsed.form == Words::Invalid)
        return invalidArgumentsText();
    if (!parsed.isWrite())
        return QString();
    if (!isWritable())
        return notWritableText();
    if (parsed.form == Words::SetSide)
        m_values[kSides.indexOf(parsed.side)] = parsed.numbers[0];
    else if (parsed.form == Words::SetAll)
        std::copy(parsed.numbers, parsed.numbers + 4, m_values);
    return QString();
}

QString DevicePropertyTouchSnapToEdge::execute(CVNEntityContext& context)
{
    const QStringList& words = context.arguments;
    const Words parsed = parseWords(words);
    // Bad words are answered before anything is sent.
    if (parsed.form == Words::Invalid)
        return invalidArgumentsText();
    if (parsed.isWrite() && !isWritable())
        return notWritableText();

    readAll();
    switch (parsed.form) {
    case Words::ShowSide: {
        if (requestState() == Idle)
            readAll();
        const int value = side(parsed.side);
        if (value == -1)
            return errorOr(invalidArgumentsText());
        return parsed.side + QLatin1Char(' ') + QString::number(value);
    }
    case Words::SetSide:
        (void)writeWords(words);
        writeAction(parsed.side);
        return errorOr(parsed.side + QLatin1Char(' ') + QString::number(side(parsed.side)));
    case Words::Reset:
        writeAction(kReset);
        return errorOr(defaultValuesText());
    case Words::SetAll:
        (void)writeWords(words);
        writeAction(kAll);
        break;
    default:
        break;
    }
    return errorOr(valueText());
}

QString DevicePropertyTouchSnapToEdge::valueText() const
{
    return QStringLiteral("%1 %2 %3 %4").arg(m_values[0]).arg(m_values[1]).arg(m_values[2]).arg(m_values[3]);
}

void DevicePropertyTouchSnapToEdge::setValue(const QJsonValue& value)
{
    if (!isWritable())
        return;
    // Checked before anything is sent.
    int saved[4];
    std::copy(m_values, m_values + 4, saved);
    const bool valid = assignJson(value);
    std::copy(saved, saved + 4, m_values);
    if (!valid)
        return;
    // The other sides are answered too: know them first.
    if (requestState() != ReplyReceived)
        readAll();
    (void)assignJson(value);
    writeAction(m_action);
}

bool DevicePropertyTouchSnapToEdge::assignJson(const QJsonValue& value)
{
    if (value.isArray()) {
        // [top, right, bottom, left] writes all four.
        const QJsonArray array = value.toArray();
        int numbers[4] = {};
        if (array.size() != 4)
            return false;
        for (int i = 0; i < 4; ++i) {
            if (!wholeNumber(array.at(i), &numbers[i]))
                return false;
        }
        std::copy(numbers, numbers + 4, m_values);
        m_action = kAll;
        return true;
    }
    if (!value.isObject())
        return false;
    const QJsonObject object = value.toObject();
    for (const QString& key : {QStringLiteral("left"), QStringLiteral("top"), QStringLiteral("right"),
                               QStringLiteral("bottom"), kReset}) {
        if (!object.contains(key))
            continue;
        if (key == kReset) {
            m_action = kReset;
            return true;
        }
        int number = 0;
        if (!wholeNumber(object.value(key), &number))
            return false;
        m_values[kSides.indexOf(key)] = number;
        m_action = key;
        return true;
    }
    return false;
}

QJsonValue DevicePropertyTouchSnapToEdge::cachedJson() const
{
    return QJsonObject{{QStringLiteral("left"), m_values[3]}, {QStringLiteral("top"), m_values[0]},
                       {QStringLiteral("right"), m_values[1]}, {QStringLiteral("bottom"), m_values[2]}};
}
