#include "properties/devicepropertycalibration.h"

#include "interface/deviceinterface.h"
#include "interface/devicepropertybool.h"
#include "interface/devicepropertyenum.h"
#include "interface/devicepropertyintpair.h"
#include "interface/devicepropertyinttriple.h"
#include "properties/calibrationcommand.h"
#include "properties/calibrationexchange.h"
#include "properties/calibrationvalue.h"
#include "properties/calibrationzonetext.h"

#include <QJsonArray>

namespace
{

const QString kError = QStringLiteral("error");

template <typename T> T* propertyNamed(CVNDeviceInterface* interface, const QString& name)
{
    return interface ? dynamic_cast<T*>(interface->entity(name)) : nullptr;
}

bool isShowForm(const CVNCalibrationCommand& command, const QStringList& words)
{
    return command.kind == CVNCalibrationCommand::Kind::ShowAll || command.kind == CVNCalibrationCommand::Kind::ShowZone
        || (command.kind == CVNCalibrationCommand::Kind::Invalid && words.size() == 1
            && words.first().startsWith(QLatin1Char('z'), Qt::CaseInsensitive));
}

QString companionFailure(const QString& what, const DeviceProperty* companion)
{
    const QString why = companion->lastError().isEmpty() ? QStringLiteral("no answer from the controller")
                                                         : companion->lastError();
    return CVNCalibrationExchange::errorPrefix() + what + QStringLiteral(" (") + why + QLatin1Char(')');
}

} // namespace

DevicePropertyCalibration::DevicePropertyCalibration(CVNDeviceInterface* interface, const QString& name,
                                                     const QString& description, const QString& command,
                                                     int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

bool DevicePropertyCalibration::isCalibrationEnabled() const
{
    return m_enable && m_enable->cachedValue();
}

void DevicePropertyCalibration::setSymbolExtra(const QString& role, const QString& value)
{
    // A name that finds a property of another type leaves the link empty.
    CVNDeviceInterface* interface = deviceInterface();
    if (role == QLatin1String("cenable"))
        m_enable = propertyNamed<DevicePropertyBool>(interface, value);
    else if (role == QLatin1String("cfo"))
        m_flipOrientation = propertyNamed<DevicePropertyIntTriple>(interface, value);
    else if (role == QLatin1String("flogs"))
        m_logicalSize = propertyNamed<DevicePropertyIntPair>(interface, value);
    else if (role == QLatin1String("csize"))
        m_zoneCount = propertyNamed<DevicePropertyEnum>(interface, value);
}

int DevicePropertyCalibration::zoneCount() const
{
    const int count = m_zoneCount ? m_zoneCount->cachedValue().toInt() : 1;
    return qBound(1, count, CVNCalibrationZone::MaxZones);
}

CVNDeviceRequest DevicePropertyCalibration::makeRequest()
{
    if (requestState() == ReplyReceived && !isMutable())
        return CVNDeviceRequest();
    if (requestState() == ActionRequested && isWritable()) {
        CVNDeviceRequest request(CVNDeviceRequest::Set, name(), 0);
        request.value = requestValue();
        return request;
    }
    // A read carries the number of zones to ask for, so that number must be
    // known first, whichever path asks for the read (dependants, refresh).
    if (m_zoneCount && m_zoneCount->requestState() != ReplyReceived)
        (void)m_zoneCount->value();
    CVNDeviceRequest request(CVNDeviceRequest::Get, name(), 0);
    request.value = zoneCount();
    return request;
}

bool DevicePropertyCalibration::refreshZones()
{
    if (requestState() == ReplyReceived && !isMutable())
        return true;
    setRequestState(DownloadRequested);
    send();
    return requestState() == ReplyReceived;
}

QString DevicePropertyCalibration::readFailure() const
{
    return requestState() == Idle ? lastError() : QString();
}

bool DevicePropertyCalibration::commitZones()
{
    m_writeError.clear();
    setRequestState(ActionRequested);
    send();
    const bool written = requestState() == ReplyReceived;
    if (!written) {
        m_writeError = !lastError().isEmpty()
            ? lastError()
            : CVNCalibrationExchange::errorPrefix() + QStringLiteral("zones not written (no answer from the controller)");
        // The edits never reached the controller, or only partly: forget
        // them and hold what the controller reports now.
        m_zones.clear();
        setRequestState(DownloadRequested);
        send();
        if (requestState() != ReplyReceived) {
            setRequestState(Idle);
            notifyChanged();
        }
    }
    refreshDependents();
    return written;
}

QString DevicePropertyCalibration::execute(CVNEntityContext& context)
{
    const QStringList& words = context.arguments;
    const CVNCalibrationCommand command = CVNCalibrationCommand::parse(words);
    if (!isWritable() && !isShowForm(command, words))
        return notWritableText();
    if (command.kind == CVNCalibrationCommand::Kind::Invalid)
        return command.error;
    if (command.kind == CVNCalibrationCommand::Kind::Reset)
        return reset();

    refreshZones();
    const QString failure = readFailure();
    if (!failure.isEmpty())
        return failure;
    switch (command.kind) {
    case CVNCalibrationCommand::Kind::ShowAll:
        return CVNCalibrationZoneText::all(m_zones);
    case CVNCalibrationCommand::Kind::ShowZone:
        if (command.zone < 0 || command.zone >= m_zones.size())
            return invalidZoneIndexText();
        return CVNCalibrationZoneText::zone(m_zones, command.zone);
    default:
        return editZones(command, words);
    }
}

QString DevicePropertyCalibration::editZones(const CVNCalibrationCommand& command, const QStringList& words)
{
    const QString message = writeWords(words);
    if (!message.isEmpty())
        return message;
    if (!commitZones())
        return m_writeError;
    return CVNCalibrationZoneText::zone(m_zones, command.zone);
}

QString DevicePropertyCalibration::writeWords(const QStringList& words)
{
    const CVNCalibrationCommand command = CVNCalibrationCommand::parse(words);
    if (command.kind == CVNCalibrationCommand::Kind::Invalid)
        return command.error;
    if (!command.changesZones() || command.kind == CVNCalibrationCommand::Kind::Reset)
        return CVNCalibrationCommand::invalidArguments();
    if (!command.zoneNamed && m_zones.isEmpty())
        return CVNCalibrationZoneText::noZones();
    if (command.zone < 0 || command.zone >= m_zones.size())
        return invalidZoneIndexText();
    CVNCalibrationZone& zone = m_zones[command.zone];
    if (command.kind == CVNCalibrationCommand::Kind::ResetZone)
        zone.transform = QTransform();
    if (command.hasTransform)
        zone.transform = command.transform;
    if (command.hasRectangle)
        zone.rectangle = command.rectangle;
    return QString();
}

QString DevicePropertyCalibration::reset()
{
    // The logical size first: without it nothing is changed at all. The
    // identity over a size the controller did not give would be a zone
    // without cells.
    QVector<int> size{0, 0};
    if (m_logicalSize) {
        (void)m_logicalSize->value();
        size = m_logicalSize->cachedValue();
    }
    const QRect whole(0, 0, size.value(0), size.value(1));
    if (!CVNCalibrationZone::isStorableRectangle(whole))
        return CVNCalibrationExchange::errorPrefix() + QStringLiteral("no logical sensor size");
    if (m_zoneCount) {
        CVNEntityContext one;
        one.arguments = QStringList{QStringLiteral("1")};
        (void)m_zoneCount->execute(one);
        bool isNumber = false;
        const int count = m_zoneCount->cachedValue().toInt(&isNumber);
        if (m_zoneCount->requestState() != ReplyReceived || !isNumber || count != 1)
            return failedZoneCountText();
    }

    refreshZones();
    const QString failure = readFailure();
    if (!failure.isEmpty())
        return failure;
    const CVNCalibrationZone zone{QTransform(), whole};
    // A controller left without zones (by an earlier failed write) is reset
    // all the same: it gets its one zone.
    if (m_zones.isEmpty())
        m_zones.append(zone);
    else
        m_zones[0] = zone;
    if (!commitZones())
        return m_writeError;
    return calibrationClearText();
}

void DevicePropertyCalibration::setValue(const QJsonValue& value)
{
    if (!isWritable())
        return;
    CVNCalibrationValue parsed;
    QString error;
    if (!CVNCalibrationValue::fromJson(value, &parsed, &error)) {
        // Nothing goes to the controller; the answer carries the reason.
        m_writeError = error;
        return;
    }
    m_zones = parsed.zones;
    if (!commitZones())
        return;
    // Flip and orientation belong to the zones; calibration is switched on
    // only for zones the controller holds.
    if (m_flipOrientation) {
        if (!m_flipOrientation->writeValue(QJsonArray{parsed.flipX, parsed.flipY, parsed.orientation}).isEmpty()
            || m_flipOrientation->requestState() != ReplyReceived) {
            m_writeError = companionFailure(QStringLiteral("flip and orientation not written"), m_flipOrientation);
            return;
        }
    }
    if (m_enable) {
        if (!m_enable->writeValue(true).isEmpty() || m_enable->requestState() != ReplyReceived) {
            m_writeError = companionFailure(QStringLiteral("calibration not switched on"), m_enable);
            return;
        }
    }
    refreshDependents();
}

bool DevicePropertyCalibration::assignJson(const QJsonValue& value)
{
    CVNCalibrationValue parsed;
    QString error;
    if (!CVNCalibrationValue::fromJson(value, &parsed, &error))
        return false;
    m_zones = parsed.zones;
    return true;
}

QJsonValue DevicePropertyCalibration::value()
{
    refreshZones();
    if (m_flipOrientation)
        (void)m_flipOrientation->value();
    return cachedJson();
}

QJsonValue DevicePropertyCalibration::cachedJson() const
{
    CVNCalibrationValue current;
    if (m_flipOrientation) {
        const QVector<int> flip = m_flipOrientation->cachedValue();
        current.flipX = flip.value(0);
        current.flipY = flip.value(1);
        current.orientation = flip.value(2);
    }
    current.zones = m_zones;
    QJsonObject object = current.toJson();
    if (!m_writeError.isEmpty())
        object.insert(kError, m_writeError);
    return object;
}

void DevicePropertyCalibration::assignReply(const QVariant& value)
{
    m_zones = calibrationZonesFromVariant(value);
}

QString DevicePropertyCalibration::valueText() const
{
    return CVNCalibrationZoneText::all(m_zones);
}

QVariant DevicePropertyCalibration::requestValue() const
{
    return calibrationZonesToVariant(m_zones);
}
