#include "properties/devicepropertytouchcalibration.h"

#include "interface/deviceinterface.h"
#include "interface/devicepropertyinttriple.h"

#include <QJsonArray>

#include <cmath>
#include <limits>

DevicePropertyTouchCalibration::DevicePropertyTouchCalibration(CVNDeviceInterface* interface, const QString& name,
                                                               const QString& description, const QString& command,
                                                               int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

void DevicePropertyTouchCalibration::setSymbolExtra(const QString& role, const QString& value)
{
    if (role == QLatin1String("cfo") && deviceInterface())
        m_flipOrientation = dynamic_cast<DevicePropertyIntTriple*>(deviceInterface()->entity(value));
}

QString DevicePropertyTouchCalibration::execute(CVNEntityContext& context)
{
    if (!context.arguments.isEmpty()) {
        const QString message = writeWords(context.arguments);
        if (!message.isEmpty())
            return message;
        commitWrite();
        // A write the controller refused answers with its words, not with
        // the value it still holds.
        if (requestState() == Idle && !lastError().isEmpty())
            return lastError();
    }
    // The read text: the device's error while idle, else "1" when the report
    // flag is set, else the device value.
    return readText();
}

QString DevicePropertyTouchCalibration::writeWords(const QStringList& words)
{
    if (!isWritable())
        return notWritableText();
    bool ok = false;
    const int number = words.size() == 1 ? words.first().toInt(&ok, 10) : 0;
    if (!ok)
        return QStringLiteral("Invalid arguments\n") + argumentHint();
    m_value = number;
    m_reportFlag = false;
    return QString();
}

void DevicePropertyTouchCalibration::setValue(const QJsonValue& value)
{
    const QJsonArray pair = value.toArray();
    if (!isWritable() || !value.isArray() || pair.size() != 2 || !pair.at(1).isBool())
        return;
    const double number = pair.at(0).toDouble(0.5);
    if (!pair.at(0).isDouble() || number != std::trunc(number) || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max())
        return;
    m_value = int(number);
    m_reportFlag = false;
    commitWrite();
    m_reportFlag = pair.at(1).toBool();
}

bool DevicePropertyTouchCalibration::assignJson(const QJsonValue& value)
{
    if (!value.isDouble())
        return false;
    m_value = value.toInt();
    return true;
}

void DevicePropertyTouchCalibration::assignReply(const QVariant& value)
{
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok, 10);
    m_value = ok ? number : 0;
}

QString DevicePropertyTouchCalibration::valueText() const
{
    return m_reportFlag ? QStringLiteral("1") : QString::number(m_value);
}

QJsonValue DevicePropertyTouchCalibration::cachedJson() const
{
    return QJsonArray{m_value, m_reportFlag};
}
