#include "device/dfuchannel.h"

CVNDfuChannel::CVNDfuChannel(std::unique_ptr<CVNUsbHandle> handle)
    : m_handle(std::move(handle))
{
}

bool CVNDfuChannel::out(quint8 request, quint16 value, const QByteArray& data)
{
    if (!m_handle)
        return false;
    QByteArray buffer = data;
    return m_handle->controlTransfer(RequestOut, request, value, Interface, buffer, TimeoutMs);
}

bool CVNDfuChannel::getStatus(CVNDfuStatus& record)
{
    record = CVNDfuStatus();
    if (!m_handle)
        return false;
    QByteArray buffer(CVNDfuStatus::WireSize, '\0');
    if (!m_handle->controlTransfer(RequestIn, GetStatus, 0, Interface, buffer, TimeoutMs))
        return false;
    // A short answer is no status record: the preset stays and the transfer counts as failed.
    return CVNDfuStatus::parse(buffer, &record);
}

bool CVNDfuChannel::clearStatus()
{
    return out(ClrStatus, 0);
}

bool CVNDfuChannel::abort()
{
    return out(Abort, 0);
}

bool CVNDfuChannel::download(quint16 block, const QByteArray& data)
{
    return out(Dnload, block, data);
}

bool CVNDfuChannel::detach(quint16 timeoutMs)
{
    return out(Detach, timeoutMs);
}

void CVNDfuChannel::close()
{
    if (m_handle)
        m_handle->close();
}
