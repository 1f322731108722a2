#pragma once

#include "device/platform/usbplatform.h"

struct udev_device;

// Builds the identity of a controller interface from udev: a hidraw node or
// a vendor (bulk / DFU) USB interface. Paths look like
//   /dev/hidraw3#vid_3c2e&pid_0002#0200000001a3#hid
//   /dev/bus/usb/001/004#vid_3c2e&pid_0002#0200000001a3#if01
// and are unique per interface.
class CVNUdevInterfaceReader
{
public:
    // Larger report descriptors are not read: no controller has one.
    static constexpr qint64 MaxReportDescriptorSize = 4096;
    static constexpr int MaxEndpoints = 32;
    static constexpr quint8 VendorClass = 255;
    static constexpr quint8 DfuClass = 254;

    // False when the device is not an interface of vendor ControllerVendorId.
    [[nodiscard]] static bool readHidraw(udev_device* hidraw, CVNUsbInterfaceInfo& info);
    [[nodiscard]] static bool readUsbInterface(udev_device* interface, CVNUsbInterfaceInfo& info);

    // Splits a path made by this reader: the device node and, for a USB
    // interface, its number (-1 for hidraw paths).
    [[nodiscard]] static bool splitPath(const QString& path, QString& node, int& interfaceNumber);

private:
    static QString makePath(const QString& node, const CVNUsbInterfaceInfo& info, const QString& suffix);
    static void readUsbDeviceIdentity(udev_device* usbDevice, CVNUsbInterfaceInfo& info);
    static QVector<CVNUsbEndpoint> readEndpoints(const QString& interfaceSysPath);
};
