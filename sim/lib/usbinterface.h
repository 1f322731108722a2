// How a present USB interface of a virtual controller looks on the bus.
#pragma once

#include <QString>

namespace corvanesim {

struct UsbInterface {
    QString path;
    QString kind;  // hid, bulk or dfu
    quint16 vendorId = 0;
    quint16 productId = 0;
    quint16 release = 0;
    QString serial;
    quint16 usagePage = 0;
    quint16 usage = 0;
    int interfaceClass = 0;
    int interfaceSubclass = 0;
    int interfaceProtocol = 0;
    QString endpoints;  // ADDR:TYPE,...; "-" when none

    // The key=value fields of list, arrived and removed lines.
    QString fields() const;
};

// sim#vid_3c2e&pid_0002#0200000001a3#hid
QString interfacePath(quint16 vendorId, quint16 productId, const QString& serial, const QString& kind);

// The HID interface of a controller in normal mode; `pathSuffix` names the
// path it is reached through ("hid", or "hid2" for a second USB path).
UsbInterface hidInterface(quint16 productId, quint16 release, const QString& serial,
                          const QString& pathSuffix = QStringLiteral("hid"));

// The vendor bulk interface (class 255, subclass 1, protocol 1, one bulk pipe each way).
UsbInterface bulkInterface(quint16 productId, quint16 release, const QString& serial);

// The one interface of a controller in DFU mode (class 254, subclass 1,
// protocol 2, control pipe only); `productId` is the DFU-mode product id.
UsbInterface dfuInterface(quint16 productId, quint16 release, const QString& serial);

}  // namespace corvanesim
