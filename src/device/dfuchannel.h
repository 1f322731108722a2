#pragma once

#include "device/dfuoperations.h"
#include "device/platform/usbplatform.h"

#include <memory>

// The DFU class requests as control transfers to interface 0 of an open
// DFU interface. Shared between the device object and an upload running on
// a worker thread, so that the upload never outlives the handle it uses.
class CVNDfuChannel : public CVNDfuOperations
{
public:
    // DFU 1.1 class requests (bRequest).
    enum Request : quint8 {
        Detach = 0,
        Dnload = 1,
        Upload = 2,
        GetStatus = 3,
        ClrStatus = 4,
        GetState = 5,
        Abort = 6,
    };
    static constexpr quint8 RequestOut = 0x21; // class, interface, host to device
    static constexpr quint8 RequestIn = 0xA1; // class, interface, device to host
    static constexpr quint16 Interface = 0;
    static constexpr int TimeoutMs = 5000;

    explicit CVNDfuChannel(std::unique_ptr<CVNUsbHandle> handle);

    bool getStatus(CVNDfuStatus& record) override;
    bool clearStatus() override;
    bool abort() override;
    bool download(quint16 block, const QByteArray& data) override;
    bool detach(quint16 timeoutMs) override;

    // Every later transfer fails; a blocked one is woken. Any thread.
    void close();

private:
    bool out(quint8 request, quint16 value, const QByteArray& data = QByteArray());

    std::unique_ptr<CVNUsbHandle> m_handle;
};
