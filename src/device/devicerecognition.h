#pragma once

#include "device/platform/usbplatform.h"

// The tests that tell which interfaces belong to a controller and in which
// form (HID, vendor bulk, DFU), on the identity the platform reports.
class CVNDeviceRecognition
{
public:
    static constexpr quint16 HidTopLevelUsage = 0;
    static constexpr quint8 BulkClass = 255;
    static constexpr quint8 BulkSubClass = 1;
    static constexpr quint8 BulkProtocol = 1;
    static constexpr quint8 DfuClass = 254;
    static constexpr quint8 DfuSubClass = 1;
    static constexpr quint8 DfuProtocol = 2;

    // The path names vendor ControllerVendorId and a product id of at least 1.
    static bool isControllerPath(const QString& lowerCasePath);
    // Vendor ControllerVendorId and a serial.
    static bool hasControllerIdentity(const CVNUsbInterfaceInfo& info);
    static bool isHidCandidate(const CVNUsbInterfaceInfo& info);
    // Class 255/1/1 with exactly two bulk pipes, one IN and one OUT.
    static bool isBulkInterface(const CVNUsbInterfaceInfo& info, quint8* inEndpoint, quint8* outEndpoint);
    static bool isDfuInterface(const CVNUsbInterfaceInfo& info);

    // Vendor (bulk, DFU) interfaces before HID ones, each group in its
    // order: a controller whose bulk channel is found first is inserted once,
    // and its HID interface passed over.
    static QVector<CVNUsbInterfaceInfo> enumerationOrder(const QVector<CVNUsbInterfaceInfo>& interfaces);
};
