#include "device/platform/linux/hidapihandle.h"

#include <hidapi/hidapi.h>

std::unique_ptr<CVNHidapiHandle> CVNHidapiHandle::open(const QString& node)
{
    hid_device* device = hid_open_path(node.toLocal8Bit().constData());
    if (!device)
        return nullptr;
    return std::unique_ptr<CVNHidapiHandle>(new CVNHidapiHandle(device));
}

CVNHidapiHandle::CVNHidapiHandle(hid_device_* device)
    : m_device(device)
    , m_gate([this] {
        hid_close(m_device);
        m_device = nullptr;
    })
{
}

CVNHidapiHandle::~CVNHidapiHandle()
{
    close();
}

bool CVNHidapiHandle::setFeature(const QByteArray& report)
{
    if (report.isEmpty())
        return false;
    return m_gate.run([&] {
        const int sent = hid_send_feature_report(m_device,
            reinterpret_cast<const unsigned char*>(report.constData()), static_cast<size_t>(report.size()));
        return sent == report.size();
    });
}

bool CVNHidapiHandle::readReport(QByteArray& report, bool feature)
{
    if (report.isEmpty())
        return false;
    QByteArray buffer(report.size(), '\0');
    buffer[0] = report.at(0);
    const bool read = m_gate.run([&] {
        auto* data = reinterpret_cast<unsigned char*>(buffer.data());
        const size_t size = static_cast<size_t>(buffer.size());
        const int got = feature ? hid_get_feature_report(m_device, data, size)
                                : hid_get_input_report(m_device, data, size);
        return got > 0 && got <= buffer.size();
    });
    if (read)
        report = buffer;
    return read;
}

bool CVNHidapiHandle::getFeature(QByteArray& report)
{
    return readReport(report, true);
}

bool CVNHidapiHandle::getInputReport(QByteArray& report)
{
    return readReport(report, false);
}

void CVNHidapiHandle::close()
{
    m_gate.close();
}
