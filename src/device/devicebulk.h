#pragma once

#include "device/device.h"
#include "device/platform/usbplatform.h"

#include <memory>

// The vendor bulk interface of a controller: holds the open handle and the
// two pipes found by recognition. The record protocol sits on top of it.
class CVNDeviceBulk : public CVNDeviceDesc
{
    Q_OBJECT
public:
    CVNDeviceBulk(
        CVNDeviceParent* parent, std::unique_ptr<CVNUsbHandle> handle, quint8 inEndpoint, quint8 outEndpoint);
    ~CVNDeviceBulk() override;

    CVNDeviceKind kind() const override { return CVNDeviceKind::Bulk; }
    void close() override;

    CVNUsbHandle* handle() const { return m_handle.get(); }
    quint8 inEndpoint() const { return m_inEndpoint; }
    quint8 outEndpoint() const { return m_outEndpoint; }

private:
    std::unique_ptr<CVNUsbHandle> m_handle;
    quint8 m_inEndpoint;
    quint8 m_outEndpoint;
};
