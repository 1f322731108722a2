#pragma once

#include "device/device.h"
#include "device/dfuchannel.h"
#include "device/platform/usbplatform.h"

#include <memory>

// The DFU interface of a controller in firmware update mode: the DFU 1.1
// class requests on its control pipe. Its product type is the product id of
// the DFU-mode device (the runtime product id plus 1).
class CVNDeviceDfu : public CVNDeviceDesc
{
    Q_OBJECT
public:
    CVNDeviceDfu(CVNDeviceParent* parent, std::unique_ptr<CVNUsbHandle> handle);
    ~CVNDeviceDfu() override;

    CVNDeviceKind kind() const override { return CVNDeviceKind::Dfu; }
    void close() override;

    // The requests, each answering whether its transfer succeeded; they fail
    // at once when the controller is no longer open.
    [[nodiscard]] bool getStatus(CVNDfuStatus& record);
    [[nodiscard]] bool clearStatus();
    [[nodiscard]] bool abort();
    [[nodiscard]] bool download(quint16 block, const QByteArray& data);
    [[nodiscard]] bool detach(quint16 timeoutMs);

    // The channel itself, for an upload that runs on another thread; closing
    // the device makes its transfers fail.
    std::shared_ptr<CVNDfuChannel> channel() const { return m_channel; }

private:
    std::shared_ptr<CVNDfuChannel> m_channel;
};
