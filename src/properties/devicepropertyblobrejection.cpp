#include "properties/devicepropertyblobrejection.h"

#include "interface/devicepropertyintpair.h"
#include "interface/devicepropertynumber.h"
#include "interface/devicepropertystring.h"
#include "properties/companion.h"
#include "properties/sensorversion.h"

#include <QJsonArray>
#include <QJsonObject>

namespace
{

const QString kInvalidArguments = QStringLiteral("invalid arguments");
const QString kSmallSize = QStringLiteral("small size");

} // namespace

DevicePropertyBlobRejection::DevicePropertyBlobRejection(CVNDeviceInterface* interface, const QString& name,
                                                         const QString& description, const QString& command,
                                                         int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

QJsonObject DevicePropertyBlobRejection::describe() const
{
    QJsonObject object = DeviceProperty::describe();
    object.insert(QStringLiteral("domain"), QStringLiteral("[0..%1]").arg(MaxLevel));
    return object;
}

void DevicePropertyBlobRejection::setSymbolExtra(const QString& role, const QString& value)
{
    CVNDeviceInterface* iface = deviceInterface();
    if (role == QLatin1String("tblobrej"))
        m_enabled = CVNCompanion::find<DevicePropertyNumberTemplate<int>>(iface, value);
    else if (role == QLatin1String("tblobdis"))
        m_distance = CVNCompanion::find<DevicePropertyIntPair>(iface, value);
    else if (role == QLatin1String("tblobth"))
        m_threshold = CVNCompanion::find<DevicePropertyNumberTemplate<int>>(iface, value);
    else if (role == QLatin1String("tdelayn"))
        m_delay = CVNCompanion::find<DevicePropertyNumberTemplate<int>>(iface, value);
    else if (role == QLatin1String("fphysc"))
        m_physical = CVNCompanion::find<DevicePropertyString>(iface, value);
}

int DevicePropertyBlobRejection::levelOfDistance(quint16 versionWord, int major)
{
    int level = 0;
    if (versionWord == CVNSensorVersion::Lyn2)
        level = major <= 1000 ? (major - 200) / 100 : (major + 3000) / 500;
    else
        level = major / 111;
    return qBound(1, level, MaxLevel);
}

DevicePropertyBlobRejection::Settings DevicePropertyBlobRejection::settingsOf(quint16 versionWord, int level)
{
    const int bounded = qBound(1, level, MaxLevel);
    Settings settings;
    settings.major = 111 * bounded;
    settings.minor = settings.major;
    settings.threshold = 5;
    if (versionWord == CVNSensorVersion::Lyn2) {
        if (bounded < 9) {
            settings.major = (bounded + 2) * 100;
        } else {
            settings.threshold = 4;
            settings.major = (bounded - 6) * 500;
        }
        settings.minor = settings.major / 2;
    }
    return settings;
}

int DevicePropertyBlobRejection::minimumDelay(quint16 productType, int firmwareMajor, quint16 versionWord,
                                              bool smallSize, int currentDelay)
{
    const int minimum = productType == CVNSensorVersion::Tarso55 ? 3 : (firmwareMajor == 1 ? 2 : 4);
    int delay = qMax(currentDelay, minimum);
    const bool atLeastFour = versionWord != CVNSensorVersion::Lyn2
        && (productType == CVNSensorVersion::Lyn || smallSize);
    if (atLeastFour && delay < 4)
        delay = 4;
    return delay;
}

void DevicePropertyBlobRejection::readLevel()
{
    if (m_busy)
        return;
    m_busy = true;
    const int enabled = CVNCompanion::intValue(m_enabled);
    if (enabled == 0) {
        if (m_level != 0) {
            m_level = 0;
            (void)CVNCompanion::write(m_enabled, 0);
        }
    } else if (m_distance) {
        (void)m_distance->value();
        m_level = levelOfDistance(CVNSensorVersion::of(deviceInterface()).word(), m_distance->cachedValue().value(0));
    }
    m_busy = false;
    setRequestState(ReplyReceived);
    notifyChanged();
}

void DevicePropertyBlobRejection::refreshLevel()
{
    if (requestState() != ReplyReceived || isMutable())
        readLevel();
}

int DevicePropertyBlobRejection::level()
{
    refreshLevel();
    return m_level;
}

void DevicePropertyBlobRejection::setLevel(int level)
{
    // Compared with the controller's level, not with a cache never filled.
    if (requestState() == Idle)
        readLevel();
    if (level == m_level || m_busy)
        return;
    m_busy = true;
    setRequestState(Idle);
    const CVNSensorVersion version = CVNSensorVersion::of(deviceInterface());
    if (level == 0) {
        m_level = 0;
        (void)CVNCompanion::write(m_enabled, 0);
    } else {
        const int current = CVNCompanion::intValue(m_delay);
        const Settings settings = settingsOf(version.word(), level);
        const bool small = m_physical && m_physical->value().toString() == kSmallSize;
        const int delay = minimumDelay(version.productType, version.firmwareMajor(), version.word(), small, current);
        (void)CVNCompanion::write(m_enabled, 1);
        (void)CVNCompanion::write(m_distance, QJsonArray{settings.major, settings.minor});
        (void)CVNCompanion::write(m_threshold, settings.threshold);
        (void)CVNCompanion::write(m_delay, delay);
        m_level = levelOfDistance(version.word(), settings.major);
    }
    m_busy = false;
    setRequestState(ReplyReceived);
    refreshDependents();
    notifyChanged();
}

CVNDeviceRequest DevicePropertyBlobRejection::makeRequest()
{
    refreshLevel();
    return CVNDeviceRequest();
}

QString DevicePropertyBlobRejection::execute(CVNEntityContext& context)
{
    const QStringList& words = context.arguments;
    if (words.size() > 1)
        return kInvalidArguments;
    if (words.size() == 1) {
        if (!isWritable())
            return notWritableText();
        bool ok = false;
        const int level = words.first().toInt(&ok, 10);
        if (!ok)
            return kInvalidArguments;
        setLevel(level);
    }
    refreshLevel();
    return QString::number(m_level);
}

void DevicePropertyBlobRejection::setValue(const QJsonValue& value)
{
    if (!isWritable() || !value.isDouble() || value.toDouble() != double(value.toInt()))
        return;
    setLevel(value.toInt());
}

QJsonValue DevicePropertyBlobRejection::value()
{
    return level();
}

QString DevicePropertyBlobRejection::writeWords(const QStringList& words)
{
    (void)words;
    return kInvalidArguments;
}

bool DevicePropertyBlobRejection::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}
