// The USB face of a virtual controller in gadget mode: its descriptors, and
// where each control request goes. (The gadget on a real kernel is proven by
// the kernel test.)
#include "controllersetup.h"
#include "gadgetlayout.h"
#include "gadgetrequest.h"
#include "simcommandline.h"
#include "virtualcontroller.h"

#include "device/platform/linux/hidreportdescriptor.h"

#include "qstringprinter.h"

#include <gtest/gtest.h>

#include <QMap>

#include <tuple>

using namespace corvanesim;

namespace {

QList<UsbInterface> interfacesOf(const QString& setupText)
{
    ControllerSetup setup;
    QString error;
    EXPECT_TRUE(parseControllerSetup(setupText, &setup, &error)) << error.toStdString();
    return CVNVirtualController::create(setup, &error)->interfaces();
}

UsbInterface dfuInterface()
{
    UsbInterface i;
    i.kind = QStringLiteral("dfu");
    i.vendorId = 0x3C2E;
    i.productId = 3;
    i.release = 0x0205;
    i.serial = QStringLiteral("0200000001A3");
    i.interfaceClass = 254;
    i.interfaceSubclass = 1;
    i.interfaceProtocol = 2;
    return i;
}

quint8 byteAt(const QByteArray& bytes, int index)
{
    return quint8(bytes.at(index));
}

int word(const QByteArray& bytes, int index)
{
    return byteAt(bytes, index) | (byteAt(bytes, index + 1) << 8);
}

// The descriptors of a configuration, split at their length bytes: type -> each one.
QMultiMap<int, QByteArray> descriptorsIn(const QByteArray& configuration)
{
    QMultiMap<int, QByteArray> found;
    for (int at = 0; at + 1 < configuration.size() && byteAt(configuration, at) > 0; at += byteAt(configuration, at))
        found.insert(byteAt(configuration, at + 1), configuration.mid(at, byteAt(configuration, at)));
    return found;
}

struct Report {
    int bytes = 0;  // with the id byte
    quint8 main = 0;  // 0xB1 feature, 0x81 input
};

// Report id -> size and kind, read from the short items of a descriptor.
QMap<int, Report> reportsIn(const QByteArray& descriptor)
{
    QMap<int, Report> reports;
    int id = 0;
    int count = 0;
    for (int at = 0; at < descriptor.size();) {
        const quint8 prefix = byteAt(descriptor, at);
        const int size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        int data = 0;
        for (int i = 0; i < size; ++i)
            data |= byteAt(descriptor, at + 1 + i) << (8 * i);
        const quint8 item = prefix & 0xFC;
        if (item == 0x84)
            id = data;
        else if (item == 0x94)
            count = data;
        else if (item == 0xB0 || item == 0x80)
            reports[id] = {count + 1, quint8(item | 1)};
        at += 1 + size;
    }
    return reports;
}

SetupPacket setupOf(quint8 type, quint8 request, quint16 value, quint16 index, quint16 length)
{
    SetupPacket s;
    s.requestType = type;
    s.request = request;
    s.value = value;
    s.index = index;
    s.length = length;
    return s;
}

}  // namespace

TEST(GadgetLayout, PlainControllerIsAHighSpeedHidDevice)
{
    const CVNGadgetLayout layout(interfacesOf(QStringLiteral("vasta:0200000001A3:2.005")));
    ASSERT_TRUE(layout.isHighSpeed());
    const QByteArray device = layout.deviceDescriptor();
    ASSERT_EQ(device.size(), 18);
    EXPECT_EQ(word(device, 8), 0x3C2E);
    EXPECT_EQ(word(device, 10), 0x0002);
    EXPECT_EQ(word(device, 12), 0x0205) << "bcdDevice is the firmware release";
    EXPECT_EQ(byteAt(device, 16), 3) << "serial string index";
    EXPECT_EQ(layout.stringDescriptor(3), QByteArray("\x1a\x03" "0\0" "2\0" "0\0" "0\0" "0\0" "0\0" "0\0" "0\0" "0\0"
                                                     "1\0" "A\0" "3\0", 26));
    EXPECT_TRUE(layout.stringDescriptor(4).isEmpty());

    const QByteArray configuration = layout.configurationDescriptor();
    EXPECT_EQ(word(configuration, 2), configuration.size()) << "total length";
    const QMultiMap<int, QByteArray> parts = descriptorsIn(configuration);
    ASSERT_EQ(parts.values(4).size(), 1);
    EXPECT_EQ(byteAt(parts.value(4), 5), 3) << "HID class";
    EXPECT_EQ(word(parts.value(0x21), 7), CVNGadgetLayout::hidReportDescriptor().size());
    const QByteArray endpoint = parts.value(5);
    EXPECT_EQ(endpoint, QByteArray::fromHex("07058103400004")) << "interrupt IN 0x81, 64 bytes, every 1 ms";

    // The service finds the controller by this top-level usage.
    CVNHidTopLevelUsage usage;
    ASSERT_TRUE(parseTopLevelUsage(CVNGadgetLayout::hidReportDescriptor(), usage));
    EXPECT_EQ(usage.usagePage, 0xFF00);
    EXPECT_EQ(usage.usage, 0);
    const QMap<int, Report> reports = reportsIn(CVNGadgetLayout::hidReportDescriptor());
    ASSERT_EQ(reports.keys(), (QList<int>{9, 13, 14, 21}));
    // Commands as feature reports; touches, pens and frames as input reports.
    for (const auto& [id, bytes, main] : {std::tuple{21, 73, 0xB1}, {13, 64, 0x81}, {14, 53, 0x81}, {9, 4033, 0x81}}) {
        EXPECT_EQ(reports[id].bytes, bytes) << id;
        EXPECT_EQ(reports[id].main, main) << id;
    }
}

TEST(GadgetLayout, BulkControllerRunsAtFullSpeedWithUniqueEndpoints)
{
    // The second path to the HID interface is no second USB function.
    const CVNGadgetLayout layout(interfacesOf(QStringLiteral("vasta:0200000001A3:2.005,bulk=1,paths=2")));
    EXPECT_FALSE(layout.isHighSpeed());
    ASSERT_EQ(layout.interfaces().size(), 2);
    EXPECT_EQ(layout.interfaces().at(0).usb.kind, QStringLiteral("bulk"));
    EXPECT_EQ(layout.interfaces().at(1).usb.kind, QStringLiteral("hid"));

    struct Expected {
        quint8 usb;
        quint8 own;
        bool bulk;
        int interface;
    };
    const Expected expected[] = {{0x81, 0x81, true, 0}, {0x02, 0x01, true, 0}, {0x83, 0x81, false, 1}};
    const QList<GadgetEndpoint> endpoints = layout.endpoints();
    ASSERT_EQ(endpoints.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(endpoints[i].usbAddress, expected[i].usb) << i;
        EXPECT_EQ(endpoints[i].ownAddress, expected[i].own) << i;
        EXPECT_EQ(endpoints[i].bulk, expected[i].bulk) << i;
        EXPECT_EQ(endpoints[i].interfaceNumber, expected[i].interface) << i;
        EXPECT_EQ(endpoints[i].maxPacket, 64) << i;
        EXPECT_EQ(layout.endpointByUsbAddress(expected[i].usb)->ownAddress, expected[i].own) << i;
    }
    const QList<QByteArray> interfaces = descriptorsIn(layout.configurationDescriptor()).values(4);
    ASSERT_EQ(interfaces.size(), 2);
    // QMultiMap gives the later one first.
    EXPECT_EQ(interfaces.last(), QByteArray::fromHex("0904000002ff010100"))
        << interfaces.last().toHex().toStdString();
}

TEST(GadgetLayout, DfuModeInterfaceCarriesItsFunctionalDescriptor)
{
    const CVNGadgetLayout layout({dfuInterface()});
    const QMultiMap<int, QByteArray> parts = descriptorsIn(layout.configurationDescriptor());
    EXPECT_EQ(word(layout.deviceDescriptor(), 10), 3);
    EXPECT_EQ(byteAt(parts.value(4), 4), 0) << "no endpoints";
    EXPECT_EQ(parts.value(0x21), QByteArray::fromHex("0921" "09" "e803" "0004" "1001"))
        << "download, detach by itself, 1 s, 1024-byte blocks, DFU 1.1";
}

TEST(GadgetRequest, EachControlRequestGoesWhereItBelongs)
{
    const CVNGadgetLayout hid(interfacesOf(QStringLiteral("vasta:0200000001A3:2.005")));
    const CVNGadgetLayout bulk(interfacesOf(QStringLiteral("vasta:0200000001A3:2.005,bulk=1")));
    const CVNGadgetLayout dfu({dfuInterface()});
    using A = GadgetReply::Action;
    struct Case {
        const char* what;
        const CVNGadgetLayout* layout;
        SetupPacket setup;
        A action;
        const char* kind;
        const char* line;
        bool takesData;
    };
    const Case cases[] = {
        {"device descriptor", &hid, setupOf(0x80, 6, 0x0100, 0, 64), A::Answer, "", "", false},
        {"unknown string", &hid, setupOf(0x80, 6, 0x0307, 0x409, 255), A::Stall, "", "", false},
        {"qualifier at high speed", &hid, setupOf(0x80, 6, 0x0600, 0, 10), A::Answer, "", "", false},
        {"no qualifier at full speed", &bulk, setupOf(0x80, 6, 0x0600, 0, 10), A::Stall, "", "", false},
        {"report descriptor", &bulk, setupOf(0x81, 6, 0x2200, 1, 200), A::Answer, "", "", false},
        {"no report descriptor on the bulk interface", &bulk, setupOf(0x81, 6, 0x2200, 0, 200), A::Stall, "", "",
         false},
        {"configuration 1", &hid, setupOf(0x00, 9, 1, 0, 0), A::Configure, "", "", false},
        {"unconfigured", &hid, setupOf(0x00, 9, 0, 0, 0), A::Acknowledge, "", "", false},
        {"no configuration 2", &hid, setupOf(0x00, 9, 2, 0, 0), A::Stall, "", "", false},
        {"command answer", &hid, setupOf(0xA1, 1, 0x0315, 0, 73), A::Forward, "hid", "getfeature 21 73", false},
        {"touch report", &bulk, setupOf(0xA1, 1, 0x010D, 1, 64), A::Forward, "hid", "getinput 13 64", false},
        {"input report", &hid, setupOf(0xA1, 1, 0x0109, 0, 4033), A::Forward, "hid", "getinput 9 4033", false},
        {"command", &hid, setupOf(0x21, 9, 0x0315, 0, 73), A::Forward, "hid", "setfeature ", true},
        {"no output reports", &hid, setupOf(0x21, 9, 0x0215, 0, 73), A::Stall, "", "", false},
        {"empty report", &hid, setupOf(0xA1, 1, 0x0315, 0, 0), A::Stall, "", "", false},
        {"oversized report", &hid, setupOf(0xA1, 1, 0x0315, 0, 5000), A::Stall, "", "", false},
        {"set idle", &hid, setupOf(0x21, 10, 0, 0, 0), A::Acknowledge, "", "", false},
        {"vendor request to the bulk interface", &bulk, setupOf(0xC1, 5, 1, 0, 4), A::Forward, "bulk",
         "control 193 5 1 0 4 -", false},
        {"by the bulk OUT endpoint", &bulk, setupOf(0x42, 7, 0, 0x02, 0), A::Forward, "bulk",
         "control 66 7 0 2 0 -", false},
        {"to the device of two interfaces", &bulk, setupOf(0x40, 7, 0, 0, 0), A::Stall, "", "", false},
        {"no interface 5", &bulk, setupOf(0x21, 0, 0, 5, 0), A::Stall, "", "", false},
        {"DFU download", &dfu, setupOf(0x21, 1, 2, 0, 1024), A::Forward, "dfu", "control 33 1 2 0 1024 ", true},
        {"DFU detach", &dfu, setupOf(0x21, 0, 1000, 0, 0), A::Forward, "dfu", "control 33 0 1000 0 0 -", false},
        {"DFU status to the device", &dfu, setupOf(0xA0, 3, 0, 0, 6), A::Forward, "dfu", "control 160 3 0 0 6 -",
         false},
    };
    for (const Case& c : cases) {
        const GadgetReply reply = routeControlRequest(*c.layout, c.setup, false);
        EXPECT_EQ(reply.action, c.action) << c.what;
        if (c.action != A::Forward)
            continue;
        EXPECT_EQ(reply.kind, QLatin1String(c.kind)) << c.what;
        EXPECT_EQ(reply.line, QLatin1String(c.line)) << c.what;
        EXPECT_EQ(reply.takesData, c.takesData) << c.what;
    }
    EXPECT_EQ(routeControlRequest(hid, setupOf(0x80, 6, 0x0200, 0, 9), false).data,
              hid.configurationDescriptor());
    EXPECT_EQ(routeControlRequest(hid, setupOf(0x80, 8, 0, 0, 1), true).data, QByteArray(1, 1));
}

TEST(GadgetCommandLine, GadgetModeNeedsNoSocketButTakesNoRequest)
{
    SimCommandLine line;
    QString error;
    ASSERT_TRUE(parseCommandLine({"--usb-gadget", "--device", "vasta:0200000001A3:2.005"}, &line, &error));
    EXPECT_TRUE(line.usbGadget);
    EXPECT_TRUE(line.socketPath.isEmpty());
    EXPECT_TRUE(parseCommandLine({"--socket", "/tmp/s", "short", "0200000001A3", "2"}, &line, &error));
    EXPECT_EQ(line.request, QStringLiteral("short 0200000001A3 2"));
    EXPECT_FALSE(parseCommandLine({"--usb-gadget", "--socket", "/tmp/s", "list"}, &line, &error));
    EXPECT_FALSE(parseCommandLine({"--usb-gadget", "list"}, &line, &error));
}
