#include "device/devicebulk.h"

CVNDeviceBulk::CVNDeviceBulk(
    CVNDeviceParent* parent, std::unique_ptr<CVNUsbHandle> handle, quint8 inEndpoint, quint8 outEndpoint)
    : CVNDeviceDesc(parent)
    , m_handle(std::move(handle))
    , m_inEndpoint(inEndpoint)
    , m_outEndpoint(outEndpoint)
{
}

CVNDeviceBulk::~CVNDeviceBulk()
{
    close();
}

void CVNDeviceBulk::close()
{
    if (m_handle)
        m_handle->close();
}
