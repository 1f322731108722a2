#include "properties/devicepropertyshield.h"

#include "interface/devicepropertynumber.h"
#include "interface/devicepropertystring.h"
#include "properties/companion.h"
#include "properties/sensorversion.h"

#include <QJsonObject>

namespace
{
const QString kInvalidArguments = QStringLiteral("invalid arguments");
} // namespace

DevicePropertyShield::DevicePropertyShield(CVNDeviceInterface* interface, const QString& name,
                                           const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

QJsonObject DevicePropertyShield::describe() const
{
    QJsonObject object = DeviceProperty::describe();
    object.insert(QStringLiteral("domain"),
                  QStringLiteral("[%1..%2]").arg(CVNShieldTables::MinLevel).arg(CVNShieldTables::MaxLevel));
    return object;
}

void DevicePropertyShield::setSymbolExtra(const QString& role, const QString& value)
{
    CVNDeviceInterface* iface = deviceInterface();
    auto number = [&] { return CVNCompanion::find<DevicePropertyNumberTemplate<int>>(iface, value); };
    if (role == QLatin1String("tdelayn"))
        m_delay = number();
    else if (role == QLatin1String("tidlee"))
        m_idle = number();
    else if (role == QLatin1String("bmode"))
        m_blur = number();
    else if (role == QLatin1String("tcstrong"))
        m_strong = number();
    else if (role == QLatin1String("tblobrej"))
        m_blob = number();
    else if (role == QLatin1String("fphysc"))
        m_physical = CVNCompanion::find<DevicePropertyString>(iface, value);
}

bool DevicePropertyShield::isSmallSize()
{
    return m_physical && m_physical->value().toString() == QLatin1String("small size");
}

bool DevicePropertyShield::blobRejectionOn()
{
    return CVNCompanion::intValue(m_blob) == 1;
}

void DevicePropertyShield::readLevel()
{
    if (m_busy)
        return;
    m_busy = true;
    const int delay = CVNCompanion::intValue(m_delay);
    const int idle = CVNCompanion::intValue(m_idle);
    const int blur = CVNCompanion::intValue(m_blur);
    const int strong = CVNCompanion::intValue(m_strong);
    const CVNShieldTable& rows = table();
    const bool blob = (rows[0].dependsOnBlob() && m_blob) ? blobRejectionOn() : false;
    m_level = CVNShieldTables::levelOf(rows, delay, idle, blur, strong, blob);
    m_busy = false;
    setRequestState(ReplyReceived);
    notifyChanged();
}

int DevicePropertyShield::level()
{
    if (requestState() != ReplyReceived || isMutable())
        readLevel();
    return m_level;
}

void DevicePropertyShield::setLevel(int level)
{
    // Compared with the controller's level, not with a cache never filled.
    if (requestState() == Idle)
        readLevel();
    if (level == m_level || m_busy)
        return;
    if (level != CVNShieldTables::MinLevel) {
        const CVNShieldTable& rows = table();
        const int index = level >= 0 && level <= CVNShieldTables::MaxLevel ? level : 0;
        const CVNShieldRow& row = rows[size_t(index)];
        m_busy = true;
        const bool blob = row.dependsOnBlob() && blobRejectionOn();
        (void)CVNCompanion::write(m_delay, row.delayFor(blob));
        (void)CVNCompanion::write(m_idle, row.tidlee);
        (void)CVNCompanion::write(m_blur, row.bmode);
        (void)CVNCompanion::write(m_strong, row.tcstrong);
        m_busy = false;
    }
    readLevel();
    refreshDependents();
}

CVNDeviceRequest DevicePropertyShield::makeRequest()
{
    if (requestState() != ReplyReceived)
        readLevel();
    return CVNDeviceRequest();
}

QString DevicePropertyShield::execute(CVNEntityContext& context)
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
    if (requestState() == Idle)
        readLevel();
    return QString::number(m_level);
}

void DevicePropertyShield::setValue(const QJsonValue& value)
{
    if (!isWritable() || !value.isDouble() || value.toDouble() != double(value.toInt()))
        return;
    setLevel(value.toInt());
}

QJsonValue DevicePropertyShield::value()
{
    if (requestState() == Idle)
        readLevel();
    return m_level;
}

QString DevicePropertyShield::writeWords(const QStringList& words)
{
    (void)words;
    return kInvalidArguments;
}

bool DevicePropertyShield::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}

const CVNShieldTable& DevicePropertyShieldLyn::table()
{
    return CVNShieldTables::lyn(CVNSensorVersion::of(deviceInterface()).tableCharacter());
}
