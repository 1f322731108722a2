#include "gadgetlayout.h"

#include "simlimits.h"

#include <QStringList>

namespace corvanesim {

namespace {

constexpr quint8 DeviceDescriptorType = 1;
constexpr quint8 ConfigurationDescriptorType = 2;
constexpr quint8 StringDescriptorType = 3;
constexpr quint8 InterfaceDescriptorType = 4;
constexpr quint8 EndpointDescriptorType = 5;
constexpr quint8 QualifierDescriptorType = 6;
constexpr quint8 HidDescriptorType = 0x21;
constexpr quint8 DfuFunctionalDescriptorType = 0x21;
constexpr quint8 ReportDescriptorType = 0x22;
constexpr int HidClass = 3;
constexpr int DfuClass = 254;
constexpr int ControlMaxPacket = 64;
constexpr int FullSpeedBulkMaxPacket = 64;
constexpr int HighSpeedBulkMaxPacket = 512;
constexpr int InterruptMaxPacket = 64;
constexpr quint8 ManufacturerString = 1;
constexpr quint8 ProductString = 2;
constexpr quint8 SerialString = 3;

void put16(QByteArray* bytes, int value)
{
    bytes->append(char(value & 0xFF));
    bytes->append(char((value >> 8) & 0xFF));
}

QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(char(v));
    return bytes;
}

// "81:int,01:bulk" as the controller lists its endpoints.
QList<QPair<quint8, bool>> ownEndpoints(const QString& text)
{
    QList<QPair<quint8, bool>> endpoints;
    for (const QString& entry : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString address = entry.section(QLatin1Char(':'), 0, 0);
        const QString type = entry.section(QLatin1Char(':'), 1);
        bool ok = false;
        const uint value = address.toUInt(&ok, 16);
        if (!ok || value > 0xFF || (type != QLatin1String("bulk") && type != QLatin1String("int")))
            continue;
        endpoints.append({quint8(value), type == QLatin1String("bulk")});
    }
    return endpoints;
}

QByteArray interfaceDescriptor(const GadgetInterface& i)
{
    return bytesOf({9, InterfaceDescriptorType, i.number, 0, int(i.endpoints.size()), i.usb.interfaceClass,
                    i.usb.interfaceSubclass, i.usb.interfaceProtocol, 0});
}

// DFU 1.1 functional descriptor: can download, detaches by itself, not
// manifestation tolerant (it resets after the download), 1 s detach
// timeout, 1024-byte transfers.
QByteArray dfuFunctionalDescriptor()
{
    return bytesOf({9, DfuFunctionalDescriptorType, 0x09, 0xE8, 0x03, 0x00, 0x04, 0x10, 0x01});
}

QByteArray stringOf(const QString& text)
{
    const QString cut = text.left(126);
    QByteArray bytes = bytesOf({2 + 2 * int(cut.size()), StringDescriptorType});
    for (const QChar c : cut)
        put16(&bytes, c.unicode());
    return bytes;
}

}  // namespace

QByteArray GadgetEndpoint::descriptor(bool highSpeed) const
{
    // Interrupt interval: 1 ms (full speed counts frames, high speed 2^(n-1) microframes).
    const int interval = bulk ? 0 : (highSpeed ? 4 : 1);
    QByteArray bytes = bytesOf({7, EndpointDescriptorType, usbAddress, bulk ? 2 : 3});
    put16(&bytes, maxPacket);
    bytes.append(char(interval));
    return bytes;
}

CVNGadgetLayout::CVNGadgetLayout(const QList<UsbInterface>& interfaces)
{
    bool hasHid = false;
    int nextEndpoint = 1;
    for (const UsbInterface& usb : interfaces) {
        if (usb.kind == QLatin1String("hid")) {
            if (hasHid)
                continue;
            hasHid = true;
        }
        GadgetInterface i;
        i.number = int(m_interfaces.size());
        i.usb = usb;
        for (const auto& own : ownEndpoints(usb.endpoints)) {
            // USB endpoint numbers run 1..15 across the whole device.
            if (nextEndpoint > 15)
                break;
            GadgetEndpoint e;
            e.ownAddress = own.first;
            e.usbAddress = quint8((own.first & 0x80) | nextEndpoint++);
            e.bulk = own.second;
            e.interfaceNumber = i.number;
            if (e.bulk)
                m_highSpeed = false;
            i.endpoints.append(e);
        }
        m_interfaces.append(i);
    }
    for (GadgetInterface& i : m_interfaces) {
        for (GadgetEndpoint& e : i.endpoints)
            e.maxPacket = !e.bulk ? InterruptMaxPacket : (m_highSpeed ? HighSpeedBulkMaxPacket : FullSpeedBulkMaxPacket);
    }
}

const GadgetInterface* CVNGadgetLayout::interfaceByNumber(int number) const
{
    return number >= 0 && number < m_interfaces.size() ? &m_interfaces[number] : nullptr;
}

const GadgetEndpoint* CVNGadgetLayout::endpointByUsbAddress(quint8 address) const
{
    for (const GadgetInterface& i : m_interfaces) {
        for (const GadgetEndpoint& e : i.endpoints) {
            if (e.usbAddress == address)
                return &e;
        }
    }
    return nullptr;
}

QList<GadgetEndpoint> CVNGadgetLayout::endpoints() const
{
    QList<GadgetEndpoint> all;
    for (const GadgetInterface& i : m_interfaces)
        all += i.endpoints;
    return all;
}

QByteArray CVNGadgetLayout::deviceDescriptor() const
{
    const UsbInterface identity = m_interfaces.isEmpty() ? UsbInterface() : m_interfaces.first().usb;
    QByteArray bytes = bytesOf({18, DeviceDescriptorType});
    put16(&bytes, 0x0200);
    bytes += bytesOf({0, 0, 0, ControlMaxPacket});
    put16(&bytes, identity.vendorId);
    put16(&bytes, identity.productId);
    put16(&bytes, identity.release);
    bytes += bytesOf({ManufacturerString, ProductString, SerialString, 1});
    return bytes;
}

QByteArray CVNGadgetLayout::qualifierDescriptor() const
{
    QByteArray bytes = bytesOf({10, QualifierDescriptorType});
    put16(&bytes, 0x0200);
    return bytes + bytesOf({0, 0, 0, ControlMaxPacket, 1, 0});
}

QByteArray CVNGadgetLayout::configurationDescriptor() const
{
    QByteArray body;
    for (const GadgetInterface& i : m_interfaces) {
        body += interfaceDescriptor(i);
        if (i.usb.interfaceClass == HidClass)
            body += hidDescriptor();
        else if (i.usb.interfaceClass == DfuClass)
            body += dfuFunctionalDescriptor();
        for (const GadgetEndpoint& e : i.endpoints)
            body += e.descriptor(m_highSpeed);
    }
    QByteArray bytes = bytesOf({9, ConfigurationDescriptorType});
    put16(&bytes, 9 + body.size());
    // One configuration (value 1), bus powered, 100 mA.
    bytes += bytesOf({int(m_interfaces.size()), 1, 0, 0x80, 50});
    return bytes + body;
}

QByteArray CVNGadgetLayout::stringDescriptor(int index) const
{
    switch (index) {
    case 0:
        return bytesOf({4, StringDescriptorType, 0x09, 0x04});  // English (US)
    case ManufacturerString:
        return stringOf(QStringLiteral("Corvane"));
    case ProductString:
        return stringOf(QStringLiteral("Corvane touch-foil controller (corvane-sim)"));
    case SerialString:
        return m_interfaces.isEmpty() ? QByteArray() : stringOf(m_interfaces.first().usb.serial);
    default:
        return QByteArray();
    }
}

QByteArray CVNGadgetLayout::hidDescriptor()
{
    QByteArray bytes = bytesOf({9, HidDescriptorType});
    put16(&bytes, 0x0111);
    bytes += bytesOf({0, 1, ReportDescriptorType});
    put16(&bytes, hidReportDescriptor().size());
    return bytes;
}

QByteArray CVNGadgetLayout::hidReportDescriptor()
{
    QByteArray bytes = bytesOf({0x06, 0x00, 0xFF,  // usage page 0xff00 (vendor)
                                0x09, 0x00,  // usage 0: the controller's command interface
                                0xA1, 0x01,  // collection (application)
                                0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08});  // bytes 0..255
    const struct {
        quint8 id;
        int size;
        quint8 main;  // 0xB1 feature, 0x81 input
    } reports[] = {{CommandReportId, CommandReportSize, 0xB1},
                   {TouchInputReportId, TouchInputReportSize, 0x81},
                   {PenInputReportId, PenInputReportSize, 0x81},
                   {FrameReportId, FrameReportSize, 0x81}};
    int usage = 1;
    for (const auto& r : reports) {
        bytes += bytesOf({0x85, r.id, 0x09, usage++, 0x96});  // report id, usage, count (16 bit)
        put16(&bytes, r.size - 1);  // the size counts the id byte
        bytes += bytesOf({r.main, 0x02});  // data, variable, absolute
    }
    bytes.append(char(0xC0));  // end collection
    return bytes;
}

}  // namespace corvanesim
