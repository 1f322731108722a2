#pragma once

#include "device/platform/usbplatform.h"

#include <QHash>

#include <atomic>
#include <mutex>
#include <thread>

struct libusb_context;
struct udev;
struct udev_device;

// The platform seam on Linux: libudev enumerates and watches hidraw nodes
// and vendor USB interfaces of ControllerVendorId; hidapi (hidraw) carries
// HID reports, libusb the bulk and control transfers.
class CVNLinuxUsbPlatform : public CVNUsbPlatform
{
public:
    CVNLinuxUsbPlatform();
    ~CVNLinuxUsbPlatform() override;

    QString name() const override { return QStringLiteral("linux"); }
    QVector<CVNUsbInterfaceInfo> enumerate() override;
    std::unique_ptr<CVNUsbHandle> open(const QString& path) override;
    bool startMonitoring(ArrivalCallback arrival, RemovalCallback removal) override;
    void stopMonitoring() override;

private:
    // Interface identity of a udev device, false when it is not ours.
    static bool readInterface(udev_device* device, CVNUsbInterfaceInfo& info);
    void remember(udev_device* device, const QString& path);
    void monitorLoop(struct udev_monitor* monitor, ArrivalCallback arrival, RemovalCallback removal);

    libusb_context* m_usb = nullptr;
    udev* m_monitorUdev = nullptr;
    std::thread m_monitorThread;
    int m_wakeFd = -1;
    // syspath -> interface path, to answer a removal whose attributes are gone
    std::mutex m_knownMutex;
    QHash<QString, QString> m_known;
};
