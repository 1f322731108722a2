#include "device/devicedfu.h"

CVNDeviceDfu::CVNDeviceDfu(CVNDeviceParent* parent, std::unique_ptr<CVNUsbHandle> handle)
    : CVNDeviceDesc(parent)
    , m_handle(std::move(handle))
{
}

CVNDeviceDfu::~CVNDeviceDfu()
{
    close();
}

void CVNDeviceDfu::close()
{
    if (m_handle)
        m_handle->close();
}
