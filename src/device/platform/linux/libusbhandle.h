#pragma once

#include "device/platform/handlegate.h"
#include "device/platform/usbplatform.h"

#include <memory>

struct libusb_context;
struct libusb_device_handle;

// One claimed interface of a USB device opened through libusb (the vendor
// bulk channel and DFU mode). close() does not wait for a transfer in
// flight: that one fails, and the device is released when it ends.
class CVNLibusbHandle : public CVNUsbHandle
{
public:
    // context must outlive the handle. nullptr when the device at the node
    // (/dev/bus/usb/BBB/DDD) cannot be opened or the interface not claimed.
    static std::unique_ptr<CVNLibusbHandle> open(
        libusb_context* context, const QString& node, int interfaceNumber);
    ~CVNLibusbHandle() override;

    bool setFeature(const QByteArray&) override { return false; }
    bool getFeature(QByteArray&) override { return false; }
    bool getInputReport(QByteArray&) override { return false; }
    qint64 bulkWrite(quint8 endpoint, const QByteArray& data, int timeoutMs) override;
    bool bulkRead(quint8 endpoint, int maxLength, int timeoutMs, QByteArray& data) override;
    bool controlTransfer(quint8 requestType, quint8 request, quint16 value, quint16 index, QByteArray& data,
        int timeoutMs) override;
    void close() override;

private:
    CVNLibusbHandle(libusb_device_handle* handle, int fd, int interfaceNumber);

    void clearStall(int transferResult, quint8 endpoint);

    libusb_device_handle* m_handle;
    int m_fd; // the device node the handle wraps
    int m_interface;
    CVNHandleGate m_gate;
};
