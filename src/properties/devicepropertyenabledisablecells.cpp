#include "properties/devicepropertyenabledisablecells.h"

#include "interface/devicepropertyintpair.h"
#include "properties/companion.h"
#include "properties/hidcellmaskexchange.h"
#include "properties/sensorlimits.h"

#include <QJsonArray>
#include <QJsonObject>

namespace
{

const QString kAllEnabled = QStringLiteral("All cells are enable");

// The switch word of a text command: "true", "enable", "1" enable, "false",
// "disable(d)", "0" disable (any case); false for anything else.
bool parseSwitch(const QString& word, bool* enabled)
{
    const QString lower = word.toLower();
    if (lower == QLatin1String("true") || lower == QLatin1String("enable") || lower == QLatin1String("1")) {
        *enabled = true;
        return true;
    }
    if (lower == QLatin1String("false") || lower == QLatin1String("disabled") || lower == QLatin1String("disable")
        || lower == QLatin1String("0")) {
        *enabled = false;
        return true;
    }
    return false;
}

// The word of a structured write: enables for "true", "enable", "1" (any
// case), disables for anything else.
bool actionEnables(const QJsonValue& action)
{
    QString word = action.toString();
    if (action.isBool())
        word = action.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    else if (action.isDouble())
        word = QString::number(action.toInt());
    const QString lower = word.toLower();
    return lower == QLatin1String("true") || lower == QLatin1String("enable") || lower == QLatin1String("1");
}

bool parseIndex(const QString& word, int limit, int* value)
{
    bool ok = false;
    const int number = word.toInt(&ok, 10);
    if (!ok || number < 0 || number >= limit)
        return false;
    *value = number;
    return true;
}

QJsonArray statesOf(const CVNCellMask& mask, bool rows)
{
    QJsonArray states;
    const int count = rows ? mask.height() : mask.width();
    for (int i = 0; i < count; ++i)
        states.append(int(rows ? mask.rowState(i) : mask.columnState(i)));
    return states;
}

// An integer member of a JSON object; false when absent or not whole.
bool intMember(const QJsonObject& object, const char* key, int* value)
{
    const QJsonValue member = object.value(QLatin1String(key));
    if (!member.isDouble())
        return false;
    const double number = member.toDouble();
    if (!(number >= -2147483648.0 && number <= 2147483647.0) || number != double(int(number)))
        return false;
    *value = int(number);
    return true;
}

} // namespace

DevicePropertyEnableDisableCells::DevicePropertyEnableDisableCells(CVNDeviceInterface* interface, const QString& name,
                                                                   const QString& description, const QString& command,
                                                                   int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

QString DevicePropertyEnableDisableCells::argumentHint() const
{
    return QStringLiteral("cells x y width height [0|1] | col/row INT [0|1] | reset");
}

void DevicePropertyEnableDisableCells::setSymbolExtra(const QString& role, const QString& value)
{
    if (role == QLatin1String("fsize"))
        m_size = CVNCompanion::find<DevicePropertyIntPair>(deviceInterface(), value);
}

QSize DevicePropertyEnableDisableCells::gridSize()
{
    if (m_size) {
        (void)m_size->value();
        const QVector<int> pair = m_size->cachedValue();
        const CVNCellMask probe(pair.value(0), pair.value(1));
        if (!probe.isEmpty())
            return QSize(probe.width(), probe.height());
    }
    return QSize(m_mask.width(), m_mask.height());
}

bool DevicePropertyEnableDisableCells::readMask()
{
    setRequestState(DownloadRequested);
    send();
    return requestState() == ReplyReceived && !m_mask.isEmpty();
}

bool DevicePropertyEnableDisableCells::writeMask(const CVNCellMask& mask)
{
    if (mask.isEmpty() || !isWritable())
        return false;
    m_pending = mask;
    commitWrite();
    return requestState() == ReplyReceived && m_mask == mask;
}

bool DevicePropertyEnableDisableCells::disableLines(const QVector<int>& columns, const QVector<int>& rows)
{
    const QSize size = gridSize();
    CVNCellMask mask(size.width(), size.height());
    if (mask.isEmpty())
        return false;
    for (int x : columns)
        mask.setColumn(x, false);
    for (int y : rows)
        mask.setRow(y, false);
    return writeMask(mask);
}

CVNCellMask DevicePropertyEnableDisableCells::currentMask()
{
    if (requestState() == Idle || m_mask.isEmpty())
        (void)readMask();
    return m_mask;
}

QString DevicePropertyEnableDisableCells::writeFromText(const CVNCellMask& mask)
{
    if (!isWritable())
        return notWritableText();
    if (!writeMask(mask))
        return lastError().isEmpty() ? QStringLiteral("Cell mask not written") : lastError();
    return QString();
}

QString DevicePropertyEnableDisableCells::execute(CVNEntityContext& context)
{
    const QStringList& words = context.arguments;
    if (words.isEmpty())
        return readText();
    CVNCellMask mask = currentMask();
    if (mask.isEmpty())
        return lastError().isEmpty() ? invalidArgumentsText() : lastError();
    const QString verb = words.first();
    if (words.size() == 1 && verb == QLatin1String("reset")) {
        mask.setAll(true);
        const QString error = writeFromText(mask);
        return error.isEmpty() ? kAllEnabled : error;
    }
    if ((words.size() == 5 || words.size() == 6) && verb == QLatin1String("cells"))
        return cellsCommand(words);
    if ((words.size() == 2 || words.size() == 3) && (verb == QLatin1String("col") || verb == QLatin1String("row")))
        return lineCommand(words);
    return invalidArgumentsText();
}

QString DevicePropertyEnableDisableCells::cellsCommand(const QStringList& words)
{
    CVNCellMask mask = m_mask;
    int x = 0, y = 0, w = 0, h = 0;
    if (!parseIndex(words.at(1), mask.width(), &x) || !parseIndex(words.at(2), mask.height(), &y)
        || !parseIndex(words.at(3), mask.width(), &w) || !parseIndex(words.at(4), mask.height(), &h))
        return invalidArgumentsText();
    const QRect rect(x, y, w, h);
    if (words.size() == 6) {
        bool enabled = false;
        if (!parseSwitch(words.at(5), &enabled))
            return invalidArgumentsText();
        mask.setRect(rect, enabled);
        const QString error = writeFromText(mask);
        if (!error.isEmpty())
            return error;
    }
    return QStringLiteral("cells is ") + QLatin1String(CVNCellMask::stateText(m_mask.state(rect)));
}

QString DevicePropertyEnableDisableCells::lineCommand(const QStringList& words)
{
    CVNCellMask mask = m_mask;
    const bool column = words.first() == QLatin1String("col");
    int index = 0;
    if (!parseIndex(words.at(1), column ? mask.width() : mask.height(), &index))
        return invalidArgumentsText();
    if (words.size() == 3) {
        bool enabled = false;
        if (!parseSwitch(words.at(2), &enabled))
            return invalidArgumentsText();
        if (column)
            mask.setColumn(index, enabled);
        else
            mask.setRow(index, enabled);
        const QString error = writeFromText(mask);
        if (!error.isEmpty())
            return error;
    }
    const CVNCellMask::RegionState state = column ? m_mask.columnState(index) : m_mask.rowState(index);
    return words.first() + QStringLiteral(" is ") + QLatin1String(CVNCellMask::stateText(state));
}

void DevicePropertyEnableDisableCells::applyChanges(CVNCellMask* mask, const QJsonObject& changes)
{
    if (changes.value(QStringLiteral("reset")).toBool())
        mask->setAll(true);

    const QJsonObject cells = changes.value(QStringLiteral("cells")).toObject();
    const bool cellsOn = actionEnables(cells.value(QStringLiteral("action")));
    const QJsonArray rects = cells.value(QStringLiteral("value")).toArray();
    for (int i = 0; i < rects.size() && i < CVNSensorLimits::MaxMaskItems; ++i) {
        const QJsonObject rect = rects.at(i).toObject();
        const QJsonObject origin = rect.value(QStringLiteral("origin")).toObject();
        const QJsonObject size = rect.value(QStringLiteral("size")).toObject();
        int x = 0, y = 0, w = 0, h = 0;
        if (!intMember(origin, "x", &x) || !intMember(origin, "y", &y) || !intMember(size, "width", &w)
            || !intMember(size, "height", &h) || w < 0 || h < 0)
            continue;
        // Clipped to the grid; 64 bits keep far-away corners from wrapping.
        const int left = int(qBound<qint64>(0, x, mask->width()));
        const int top = int(qBound<qint64>(0, y, mask->height()));
        const int right = int(qBound<qint64>(0, qint64(x) + w, mask->width()));
        const int bottom = int(qBound<qint64>(0, qint64(y) + h, mask->height()));
        mask->setRect(QRect(left, top, right - left, bottom - top), cellsOn);
    }
    const auto applyLines = [mask](const QJsonArray& lines, const char* key, bool column) {
        for (int i = 0; i < lines.size() && i < CVNSensorLimits::MaxMaskItems; ++i) {
            const QJsonObject line = lines.at(i).toObject();
            int index = 0;
            if (!intMember(line, key, &index))
                continue;
            const bool on = actionEnables(line.value(QStringLiteral("action")));
            if (column)
                mask->setColumn(index, on);
            else
                mask->setRow(index, on);
        }
    };
    applyLines(changes.value(QStringLiteral("rows")).toArray(), "row", false);
    applyLines(changes.value(QStringLiteral("cols")).toArray(), "col", true);
}

void DevicePropertyEnableDisableCells::setValue(const QJsonValue& value)
{
    if (!isWritable() || !value.isObject())
        return;
    CVNCellMask mask = currentMask();
    if (mask.isEmpty())
        return;
    applyChanges(&mask, value.toObject());
    (void)writeMask(mask);
}

QJsonValue DevicePropertyEnableDisableCells::value()
{
    if (requestState() != ReplyReceived || isMutable())
        (void)readMask();
    return cachedJson();
}

QJsonValue DevicePropertyEnableDisableCells::cachedJson() const
{
    QJsonArray data;
    for (int y = 0; y < m_mask.height(); ++y) {
        QJsonArray row;
        for (int x = 0; x < m_mask.width(); ++x)
            row.append(m_mask.isEnabled(x, y));
        data.append(row);
    }
    const QJsonObject size{{QStringLiteral("width"), m_mask.width()}, {QStringLiteral("height"), m_mask.height()}};
    return QJsonObject{
        {QStringLiteral("frame"), QJsonObject{{QStringLiteral("size"), size}, {QStringLiteral("data"), data}}},
        {QStringLiteral("rows"), statesOf(m_mask, true)},
        {QStringLiteral("cols"), statesOf(m_mask, false)},
    };
}

QString DevicePropertyEnableDisableCells::valueText() const
{
    if (m_mask.isEmpty())
        return QString();
    int enabled = 0;
    for (int y = 0; y < m_mask.height(); ++y) {
        for (int x = 0; x < m_mask.width(); ++x)
            enabled += m_mask.isEnabled(x, y) ? 1 : 0;
    }
    return QStringLiteral("%1 of %2 cells enabled").arg(enabled).arg(m_mask.cellCount());
}

CVNDeviceRequest DevicePropertyEnableDisableCells::makeRequest()
{
    if (requestState() == ActionRequested && isWritable())
        return CVNHidCellMaskExchange::makeWrite(name(), m_pending);
    if (requestState() == ReplyReceived && !isMutable())
        return CVNDeviceRequest();
    const QSize size = gridSize();
    if (size.isEmpty())
        return CVNDeviceRequest();
    return CVNHidCellMaskExchange::makeRead(name(), size.width(), size.height());
}

void DevicePropertyEnableDisableCells::handleReply(const CVNDeviceRequest& reply)
{
    m_takingWrite = reply.type == CVNDeviceRequest::Set;
    DeviceProperty::handleReply(reply);
    m_takingWrite = false;
    if (reply.type == CVNDeviceRequest::Error)
        m_pending = CVNCellMask();
}

void DevicePropertyEnableDisableCells::assignReply(const QVariant& value)
{
    if (m_takingWrite) {
        // The controller took the mask that was sent.
        m_mask = m_pending;
        m_pending = CVNCellMask();
        return;
    }
    const QSize size = gridSize();
    m_mask = CVNCellMask::fromBytes(size.width(), size.height(), value.toByteArray());
}

QString DevicePropertyEnableDisableCells::writeWords(const QStringList& words)
{
    (void)words;
    return invalidArgumentsText();
}

bool DevicePropertyEnableDisableCells::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}
