#include "server/devicelistproperty.h"

#include "device/device.h"
#include "device/devicemanager.h"
#include "interface/accessmode.h"
#include "interface/deviceinterface.h"
#include "server/applicationserver.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {
// " %1 %2 %3 %4 %5\n" with the cells padded to 2, 12, 12, 4 and 6 columns;
// joined by hand so that "%n" inside a product name stays as it is.
QString line(const QString& number, const QString& product, const QString& serial, const QString& mode,
             const QString& locked)
{
    return QLatin1Char(' ') + number.rightJustified(2) + QLatin1Char(' ') + product.leftJustified(12) +
           QLatin1Char(' ') + serial.leftJustified(12) + QLatin1Char(' ') + mode.leftJustified(4) +
           QLatin1Char(' ') + locked.leftJustified(6) + QLatin1Char('\n');
}
}

CVNDeviceListProperty::CVNDeviceListProperty(CVNApplicationServer* server)
    : QObject(nullptr)
    , CVNProperty(QStringLiteral("devices_list"), QStringLiteral("List all devices."), QStringLiteral("device-list"),
                  AccessMode::ReadWrite)
    , m_server(server)
{
}

QJsonValue CVNDeviceListProperty::value()
{
    QJsonArray list;
    for (CVNDeviceParent* device : m_server->deviceManager()->devices()) {
        CVNDeviceInterface* interface = m_server->interfaceForSerial(device->serialNumber());
        CVNDevice* descriptor = interface ? interface->device() : nullptr;
        if (!descriptor)
            continue;
        list.append(QJsonObject{
            {QStringLiteral("serial_number"), device->serialNumber()},
            {QStringLiteral("product_id"), int(device->productType())},
            {QStringLiteral("product_name"), device->productName()},
            {QStringLiteral("device_type"), deviceKindText(descriptor->kind())},
            {QStringLiteral("version"), device->firmwareVersion()},
            {QStringLiteral("device_locked"),
             m_server->isLocked(descriptor) ? QStringLiteral("locked") : QStringLiteral("unlocked")},
        });
    }
    return list;
}

QString CVNDeviceListProperty::execute(CVNEntityContext& context)
{
    (void)context;
    QString text = name() + QStringLiteral(":\n");
    text += line(QStringLiteral("#"), QStringLiteral("Product"), QStringLiteral("SerialNumber"),
                 QStringLiteral("Mode"), QStringLiteral("Locked"));
    int row = 0;
    for (CVNDeviceParent* device : m_server->deviceManager()->devices()) {
        CVNDeviceInterface* interface = m_server->interfaceForSerial(device->serialNumber());
        CVNDevice* descriptor = interface ? interface->device() : nullptr;
        QString locked = QStringLiteral("none");
        CVNDeviceKind kind = device->kind();
        if (descriptor) {
            locked = m_server->isLocked(descriptor) ? QStringLiteral("locked") : QStringLiteral("unlocked");
            kind = descriptor->kind();
        } else if (!device->descriptors().isEmpty()) {
            kind = device->descriptors().first()->kind();
        }
        text += line(QString::number(row++), device->productName(), device->serialNumber(),
                     deviceKindText(kind), locked);
    }
    return text;
}

void CVNDeviceListProperty::setValue(const QJsonValue& value)
{
    (void)value;
}

void CVNDeviceListProperty::deviceInserted(CVNDeviceParent* device)
{
    (void)device;
    notifyChanged();
}

void CVNDeviceListProperty::deviceRemoved(CVNDeviceParent* device)
{
    (void)device;
    notifyChanged();
}
