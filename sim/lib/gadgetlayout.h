// How a virtual controller looks as a real USB device: its interfaces
// numbered in the controller's own order, its endpoints given unique USB
// addresses, and the descriptors the host reads.
#pragma once

#include "usbinterface.h"

#include <QByteArray>
#include <QList>

namespace corvanesim {

struct GadgetEndpoint {
    quint8 usbAddress = 0;  // as the host sees it
    quint8 ownAddress = 0;  // as the controller names it in bulkwrite / bulkread
    bool bulk = true;  // else interrupt
    int maxPacket = 0;
    int interfaceNumber = 0;

    bool isIn() const { return (usbAddress & 0x80) != 0; }
    // The 7-byte endpoint descriptor.
    QByteArray descriptor(bool highSpeed) const;
};

struct GadgetInterface {
    int number = 0;
    UsbInterface usb;
    QList<GadgetEndpoint> endpoints;
};

class CVNGadgetLayout {
public:
    static constexpr quint8 FrameReportId = 9;
    static constexpr int FrameReportSize = 4033;

    // A USB device carries one HID function: a second path to the same HID
    // interface ("hid2") is left out. Endpoints other than bulk and
    // interrupt are left out too.
    explicit CVNGadgetLayout(const QList<UsbInterface>& interfaces);

    bool isEmpty() const { return m_interfaces.isEmpty(); }
    // Full speed when a bulk pipe is present: its max packet of 64 bytes lets
    // the host read the pipe in any multiple of 64, whatever the controller
    // hands out at a time.
    bool isHighSpeed() const { return m_highSpeed; }
    const QList<GadgetInterface>& interfaces() const { return m_interfaces; }
    const GadgetInterface* interfaceByNumber(int number) const;
    const GadgetEndpoint* endpointByUsbAddress(quint8 address) const;
    QList<GadgetEndpoint> endpoints() const;

    QByteArray deviceDescriptor() const;
    QByteArray qualifierDescriptor() const;
    QByteArray configurationDescriptor() const;
    // Empty when there is no string of that index.
    QByteArray stringDescriptor(int index) const;
    static QByteArray hidDescriptor();
    // Vendor page 0xff00, usage 0: feature reports 21 and 13, input report 9.
    static QByteArray hidReportDescriptor();

private:
    QList<GadgetInterface> m_interfaces;
    bool m_highSpeed = true;
};

}  // namespace corvanesim
