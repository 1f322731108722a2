#include "device/platform/linux/hidapihandle.h"

#include <hidapi/hidapi.h>

std::unique_ptr<CVNHidapiHandle> CVNHidapiHandle::open(const QString& node)
{
    hid_device* device = hid_open_path(node.toLocal8Bit().constData());
    if (!device)
        return nullptr;
    return std::unique_ptr<CVNHidapiHandle>(new CVNHidapiHandle(device));
}

CVNHidapiHandle::~CVNHidapiHandle()
{
    close();
}

bool CVNHidapiHandle::setFeature(const QByteArray& report)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_device || report.isEmpty())
        return false;
    const int sent = hid_send_feature_report(m_device,
        reinterpret_cast<const unsigned char*>(report.constData()), static_cast<size_t>(report.size()));
    return sent == report.size();
}

bool CVNHidapiHandle::getFeature(QByteArray& report)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_device || report.isEmpty())
        return false;
    QByteArray buffer(report.size(), '\0');
    buffer[0] = report.at(0);
    const int got = hid_get_feature_report(
        m_device, reinterpret_cast<unsigned char*>(buffer.data()), static_cast<size_t>(buffer.size()));
    if (got <= 0 || got > buffer.size())
        return false;
    report = buffer;
    return true;
}

bool CVNHidapiHandle::getInputReport(QByteArray& report)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_device || report.isEmpty())
        return false;
    QByteArray buffer(report.size(), '\0');
    buffer[0] = report.at(0);
    const int got = hid_get_input_report(
        m_device, reinterpret_cast<unsigned char*>(buffer.data()), static_cast<size_t>(buffer.size()));
    if (got <= 0 || got > buffer.size())
        return false;
    report = buffer;
    return true;
}

void CVNHidapiHandle::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_device)
        hid_close(m_device);
    m_device = nullptr;
}
