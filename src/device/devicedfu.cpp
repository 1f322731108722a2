#include "device/devicedfu.h"

CVNDeviceDfu::CVNDeviceDfu(CVNDeviceParent* parent, std::unique_ptr<CVNUsbHandle> handle)
    : CVNDeviceDesc(parent)
    , m_channel(std::make_shared<CVNDfuChannel>(std::move(handle)))
{
}

CVNDeviceDfu::~CVNDeviceDfu()
{
    close();
}

void CVNDeviceDfu::close()
{
    m_channel->close();
}

bool CVNDeviceDfu::getStatus(CVNDfuStatus& record)
{
    record = CVNDfuStatus();
    return isOpen() && m_channel->getStatus(record);
}

bool CVNDeviceDfu::clearStatus()
{
    return isOpen() && m_channel->clearStatus();
}

bool CVNDeviceDfu::abort()
{
    return isOpen() && m_channel->abort();
}

bool CVNDeviceDfu::download(quint16 block, const QByteArray& data)
{
    return isOpen() && m_channel->download(block, data);
}

bool CVNDeviceDfu::detach(quint16 timeoutMs)
{
    return isOpen() && m_channel->detach(timeoutMs);
}
