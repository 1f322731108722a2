#include "usbinterface.h"

#include "simlimits.h"

namespace corvanesim {

namespace {

// Vendor-defined usage page of the controller's top-level collection.
constexpr quint16 VendorUsagePage = 0xFF00;
constexpr int HidClass = 3;
constexpr int VendorClass = 255;
constexpr int BulkSubclass = 1;
constexpr int BulkProtocol = 1;
constexpr int DfuClass = 254;
constexpr int DfuSubclass = 1;
constexpr int DfuProtocol = 2;

QString hex4(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

}  // namespace

QString UsbInterface::fields() const
{
    QString text = QStringLiteral("path=%1 kind=%2 vid=%3 pid=%4 rel=%5 serial=%6")
                       .arg(path, kind, hex4(vendorId), hex4(productId), hex4(release), serial);
    if (kind == QLatin1String("hid"))
        text += QStringLiteral(" usagepage=%1 usage=%2").arg(hex4(usagePage), hex4(usage));
    text += QStringLiteral(" class=%1 subclass=%2 protocol=%3 eps=%4")
                .arg(interfaceClass)
                .arg(interfaceSubclass)
                .arg(interfaceProtocol)
                .arg(endpoints.isEmpty() ? QStringLiteral("-") : endpoints);
    return text;
}

QString interfacePath(quint16 vendorId, quint16 productId, const QString& serial, const QString& kind)
{
    return QStringLiteral("sim#vid_%1&pid_%2#%3#%4").arg(hex4(vendorId), hex4(productId), serial.toLower(), kind);
}

UsbInterface hidInterface(quint16 productId, quint16 release, const QString& serial, const QString& pathSuffix)
{
    UsbInterface i;
    i.kind = QStringLiteral("hid");
    i.vendorId = ControllerVendorId;
    i.productId = productId;
    i.release = release;
    i.serial = serial;
    i.path = interfacePath(i.vendorId, productId, serial, pathSuffix);
    i.usagePage = VendorUsagePage;
    i.usage = 0;
    i.interfaceClass = HidClass;
    i.endpoints = QStringLiteral("81:int");
    return i;
}

UsbInterface bulkInterface(quint16 productId, quint16 release, const QString& serial)
{
    UsbInterface i;
    i.kind = QStringLiteral("bulk");
    i.vendorId = ControllerVendorId;
    i.productId = productId;
    i.release = release;
    i.serial = serial;
    i.path = interfacePath(i.vendorId, productId, serial, i.kind);
    i.interfaceClass = VendorClass;
    i.interfaceSubclass = BulkSubclass;
    i.interfaceProtocol = BulkProtocol;
    i.endpoints = QStringLiteral("81:bulk,01:bulk");
    return i;
}

UsbInterface dfuInterface(quint16 productId, quint16 release, const QString& serial)
{
    UsbInterface i;
    i.kind = QStringLiteral("dfu");
    i.vendorId = ControllerVendorId;
    i.productId = productId;
    i.release = release;
    i.serial = serial;
    i.path = interfacePath(i.vendorId, productId, serial, i.kind);
    i.interfaceClass = DfuClass;
    i.interfaceSubclass = DfuSubclass;
    i.interfaceProtocol = DfuProtocol;
    return i;
}

}  // namespace corvanesim
