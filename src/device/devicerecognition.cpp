#include "device/devicerecognition.h"

#include "device/device.h"

bool CVNDeviceRecognition::isControllerPath(const QString& lowerCasePath)
{
    quint16 vendor = 0;
    quint16 product = 0;
    return parseVidPidFromPath(lowerCasePath, &vendor, &product) && vendor == ControllerVendorId
        && product >= 1;
}

bool CVNDeviceRecognition::hasControllerIdentity(const CVNUsbInterfaceInfo& info)
{
    return info.vendorId == ControllerVendorId && !info.serial.isEmpty();
}

bool CVNDeviceRecognition::isHidCandidate(const CVNUsbInterfaceInfo& info)
{
    return info.isHid() && hasControllerIdentity(info) && info.usage == HidTopLevelUsage;
}

bool CVNDeviceRecognition::isBulkInterface(
    const CVNUsbInterfaceInfo& info, quint8* inEndpoint, quint8* outEndpoint)
{
    if (info.interfaceClass != BulkClass || info.interfaceSubClass != BulkSubClass
        || info.interfaceProtocol != BulkProtocol || info.endpoints.size() != 2)
        return false;
    const CVNUsbEndpoint& a = info.endpoints.at(0);
    const CVNUsbEndpoint& b = info.endpoints.at(1);
    if (a.type != CVNUsbEndpointType::Bulk || b.type != CVNUsbEndpointType::Bulk || a.isIn() == b.isIn())
        return false;
    *inEndpoint = a.isIn() ? a.address : b.address;
    *outEndpoint = a.isIn() ? b.address : a.address;
    return true;
}

bool CVNDeviceRecognition::isDfuInterface(const CVNUsbInterfaceInfo& info)
{
    return info.interfaceClass == DfuClass && info.interfaceSubClass == DfuSubClass
        && info.interfaceProtocol == DfuProtocol;
}

QVector<CVNUsbInterfaceInfo> CVNDeviceRecognition::enumerationOrder(
    const QVector<CVNUsbInterfaceInfo>& interfaces)
{
    QVector<CVNUsbInterfaceInfo> ordered;
    ordered.reserve(interfaces.size());
    for (const CVNUsbInterfaceInfo& info : interfaces) {
        if (!info.isHid())
            ordered.append(info);
    }
    for (const CVNUsbInterfaceInfo& info : interfaces) {
        if (info.isHid())
            ordered.append(info);
    }
    return ordered;
}
