#pragma once

#include "device/device.h"
#include "device/platform/usbplatform.h"

#include <memory>

// The DFU interface of a controller in firmware update mode: holds the open
// handle for the control transfers of the update.
class CVNDeviceDfu : public CVNDeviceDesc
{
    Q_OBJECT
public:
    CVNDeviceDfu(CVNDeviceParent* parent, std::unique_ptr<CVNUsbHandle> handle);
    ~CVNDeviceDfu() override;

    CVNDeviceKind kind() const override { return CVNDeviceKind::Dfu; }
    void close() override;

    CVNUsbHandle* handle() const { return m_handle.get(); }

private:
    std::unique_ptr<CVNUsbHandle> m_handle;
};
