#include "device/platform/linux/udevinterfacereader.h"

#include "device/device.h"
#include "device/platform/linux/hidreportdescriptor.h"

#include <QDir>
#include <QFile>

#include <libudev.h>

namespace
{

QString sysattr(udev_device* device, const char* name)
{
    const char* value = device ? udev_device_get_sysattr_value(device, name) : nullptr;
    return value ? QString::fromUtf8(value).trimmed() : QString();
}

quint16 sysattrHex(udev_device* device, const char* name)
{
    bool ok = false;
    const uint value = sysattr(device, name).toUInt(&ok, 16);
    return ok && value <= 0xFFFF ? static_cast<quint16>(value) : 0;
}

QString readSmallFile(const QString& path, qint64 limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.read(limit)).trimmed();
}

CVNUsbEndpointType endpointTypeOf(const QString& text)
{
    if (text == QLatin1String("Bulk"))
        return CVNUsbEndpointType::Bulk;
    if (text == QLatin1String("Interrupt"))
        return CVNUsbEndpointType::Interrupt;
    if (text.startsWith(QLatin1String("Isoc")))
        return CVNUsbEndpointType::Isochronous;
    return CVNUsbEndpointType::Control;
}

// The serial comes from the device: keep the path's separators its own.
QString pathSafe(const QString& serial)
{
    QString safe = serial;
    for (QChar& c : safe) {
        if (c == QLatin1Char('#') || c == QLatin1Char('&') || c.isSpace())
            c = QLatin1Char('_');
    }
    return safe.isEmpty() ? QStringLiteral("-") : safe;
}

} // namespace

QString CVNUdevInterfaceReader::makePath(
    const QString& node, const CVNUsbInterfaceInfo& info, const QString& suffix)
{
    return QStringLiteral("%1#vid_%2&pid_%3#%4#%5")
        .arg(node)
        .arg(info.vendorId, 4, 16, QLatin1Char('0'))
        .arg(info.productId, 4, 16, QLatin1Char('0'))
        .arg(pathSafe(info.serial), suffix)
        .toLower();
}

void CVNUdevInterfaceReader::readUsbDeviceIdentity(udev_device* usbDevice, CVNUsbInterfaceInfo& info)
{
    info.vendorId = sysattrHex(usbDevice, "idVendor");
    info.productId = sysattrHex(usbDevice, "idProduct");
    info.releaseNumber = sysattrHex(usbDevice, "bcdDevice");
    info.serial = sysattr(usbDevice, "serial");
}

bool CVNUdevInterfaceReader::readHidraw(udev_device* hidraw, CVNUsbInterfaceInfo& info)
{
    info = CVNUsbInterfaceInfo();
    const char* node = udev_device_get_devnode(hidraw);
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    udev_device* usbInterface = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_interface");
    udev_device* usbDevice = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
    if (!node || !hid || !usbInterface || !usbDevice)
        return false;
    readUsbDeviceIdentity(usbDevice, info);
    if (info.vendorId != ControllerVendorId)
        return false;
    if (info.serial.isEmpty()) {
        const char* uniq = udev_device_get_property_value(hid, "HID_UNIQ");
        info.serial = uniq ? QString::fromUtf8(uniq).trimmed() : QString();
    }
    info.interfaceClass = CVNUsbInterfaceInfo::HidClass;
    bool ok = false;
    info.interfaceSubClass = static_cast<quint8>(sysattr(usbInterface, "bInterfaceSubClass").toUInt(&ok, 16));
    info.interfaceProtocol = static_cast<quint8>(sysattr(usbInterface, "bInterfaceProtocol").toUInt(&ok, 16));
    QFile descriptorFile(
        QString::fromUtf8(udev_device_get_syspath(hid)) + QStringLiteral("/report_descriptor"));
    CVNHidTopLevelUsage usage;
    if (descriptorFile.open(QIODevice::ReadOnly)
        && parseTopLevelUsage(descriptorFile.read(MaxReportDescriptorSize), usage)) {
        info.usagePage = usage.usagePage;
        info.usage = usage.usage;
    }
    info.endpoints = readEndpoints(QString::fromUtf8(udev_device_get_syspath(usbInterface)));
    info.path = makePath(QString::fromUtf8(node), info, QStringLiteral("hid"));
    return true;
}

bool CVNUdevInterfaceReader::readUsbInterface(udev_device* interface, CVNUsbInterfaceInfo& info)
{
    info = CVNUsbInterfaceInfo();
    udev_device* usbDevice = udev_device_get_parent_with_subsystem_devtype(interface, "usb", "usb_device");
    const char* node = usbDevice ? udev_device_get_devnode(usbDevice) : nullptr;
    if (!node)
        return false;
    readUsbDeviceIdentity(usbDevice, info);
    bool ok = false;
    info.interfaceClass = static_cast<quint8>(sysattr(interface, "bInterfaceClass").toUInt(&ok, 16));
    if (info.vendorId != ControllerVendorId || !ok
        || (info.interfaceClass != VendorClass && info.interfaceClass != DfuClass))
        return false;
    info.interfaceSubClass = static_cast<quint8>(sysattr(interface, "bInterfaceSubClass").toUInt(&ok, 16));
    info.interfaceProtocol = static_cast<quint8>(sysattr(interface, "bInterfaceProtocol").toUInt(&ok, 16));
    const uint number = sysattr(interface, "bInterfaceNumber").toUInt(&ok, 16);
    if (!ok || number > 0xFF)
        return false;
    info.endpoints = readEndpoints(QString::fromUtf8(udev_device_get_syspath(interface)));
    info.path = makePath(
        QString::fromUtf8(node), info, QStringLiteral("if%1").arg(number, 2, 16, QLatin1Char('0')));
    return true;
}

QVector<CVNUsbEndpoint> CVNUdevInterfaceReader::readEndpoints(const QString& interfaceSysPath)
{
    QVector<CVNUsbEndpoint> endpoints;
    const QStringList entries
        = QDir(interfaceSysPath).entryList({ QStringLiteral("ep_*") }, QDir::Dirs, QDir::Name);
    for (const QString& entry : entries) {
        if (endpoints.size() >= MaxEndpoints)
            break;
        const QString dir = interfaceSysPath + QLatin1Char('/') + entry;
        bool ok = false;
        const uint address = readSmallFile(dir + QStringLiteral("/bEndpointAddress"), 16).toUInt(&ok, 16);
        if (!ok || address > 0xFF)
            continue;
        CVNUsbEndpoint endpoint;
        endpoint.address = static_cast<quint8>(address);
        endpoint.type = endpointTypeOf(readSmallFile(dir + QStringLiteral("/type"), 32));
        endpoints.append(endpoint);
    }
    return endpoints;
}

bool CVNUdevInterfaceReader::splitPath(const QString& path, QString& node, int& interfaceNumber)
{
    const QStringList parts = path.split(QLatin1Char('#'));
    if (parts.size() != 4 || parts.at(0).isEmpty())
        return false;
    node = parts.at(0);
    const QString kind = parts.at(3);
    if (kind == QLatin1String("hid")) {
        interfaceNumber = -1;
        return true;
    }
    bool ok = false;
    interfaceNumber = kind.startsWith(QLatin1String("if")) ? kind.mid(2).toInt(&ok, 16) : -1;
    return ok && interfaceNumber >= 0;
}
