// What a USB device (or the simulator standing for the bus) says about
// itself before the service talks to it: HID report descriptors, the
// simulator's interface lines, paths with the serial a device chose, and
// the recognition that decides what such an interface is. A descriptor
// that parses has its usage from an item inside it; an interface line that
// parses has a path and at most the bounded number of endpoints; a path
// this platform made splits back into its node.
#include "device/devicerecognition.h"
#include "device/platform/linux/hidreportdescriptor.h"
#include "device/platform/linux/udevinterfacereader.h"
#include "device/platform/sim/siminterfacefields.h"
#include "device/platform/usbplatform.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

void recognise(const CVNUsbInterfaceInfo& info)
{
    (void)CVNDeviceRecognition::isControllerPath(info.path.toLower());
    (void)CVNDeviceRecognition::hasControllerIdentity(info);
    (void)CVNDeviceRecognition::isHidCandidate(info);
    quint8 in = 0;
    quint8 out = 0;
    if (CVNDeviceRecognition::isBulkInterface(info, &in, &out) && ((in & 0x80) == 0 || (out & 0x80) != 0))
        std::abort();  // a bulk channel needs one IN and one OUT pipe
    (void)CVNDeviceRecognition::isDfuInterface(info);
    quint16 vendor = 0;
    quint16 product = 0;
    (void)parseVidPidFromPath(info.path, &vendor, &product);
}

void descriptor(FuzzedDataProvider& input)
{
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    CVNHidTopLevelUsage usage;
    (void)parseTopLevelUsage(QByteArray(bytes.data(), int(bytes.size())), usage);
}

void simLine(FuzzedDataProvider& input)
{
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    CVNUsbInterfaceInfo info;
    if (!CVNSimInterfaceFields::parse(QByteArray(bytes.data(), int(bytes.size())), info))
        return;
    if (info.path.isEmpty() || info.endpoints.size() > CVNSimInterfaceFields::MaxEndpoints)
        std::abort();
    recognise(info);
}

// An identity with the fields a device chooses: serial, ids, classes, pipes.
void identity(FuzzedDataProvider& input)
{
    CVNUsbInterfaceInfo info;
    info.vendorId = input.ConsumeBool() ? quint16(0x3c2e) : input.ConsumeIntegral<quint16>();
    info.productId = input.ConsumeIntegral<quint16>();
    info.releaseNumber = input.ConsumeIntegral<quint16>();
    info.usagePage = input.ConsumeBool() ? quint16(0xff00) : input.ConsumeIntegral<quint16>();
    info.usage = input.ConsumeIntegral<quint16>();
    info.interfaceClass = input.ConsumeIntegral<quint8>();
    info.interfaceSubClass = input.ConsumeIntegral<quint8>();
    info.interfaceProtocol = input.ConsumeIntegral<quint8>();
    for (int i = input.ConsumeIntegralInRange<int>(0, 4); i > 0; --i)
        info.endpoints.append({input.ConsumeIntegral<quint8>(), CVNUsbEndpointType(input.ConsumeIntegralInRange<int>(0, 3))});
    info.serial = QString::fromUtf8(QByteArray::fromStdString(input.ConsumeRandomLengthString(40)));
    const bool hid = input.ConsumeBool();
    const QString node = hid ? QStringLiteral("/dev/hidraw3") : QStringLiteral("/dev/bus/usb/001/004");
    info.path = QStringLiteral("%1#vid_%2&pid_%3#%4#%5")
                    .arg(node)
                    .arg(info.vendorId, 4, 16, QLatin1Char('0'))
                    .arg(info.productId, 4, 16, QLatin1Char('0'))
                    .arg(info.serial, hid ? QStringLiteral("hid") : QStringLiteral("if01"))
                    .toLower();
    recognise(info);
    QString split;
    int number = 0;
    const bool splits = CVNUdevInterfaceReader::splitPath(info.path, split, number);
    if (!info.serial.contains(QLatin1Char('#')) && (!splits || split != node || number != (hid ? -1 : 1)))
        std::abort();  // the node and interface of a path made from them
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        descriptor(input);
        break;
    case 1:
        simLine(input);
        break;
    default:
        identity(input);
        break;
    }
    return 0;
}
