#include "device/platform/linux/hidapihandle.h"

#include "device/devicelog.h"

#include <hidapi/hidapi.h>

std::unique_ptr<CVNHidapiHandle> CVNHidapiHandle::open(const QString& node)
{
    hid_device* device = hid_open_path(node.toLocal8Bit().constData());
    if (!device)
        return nullptr;
    return std::unique_ptr<CVNHidapiHandle>(new CVNHidapiHandle(device, node));
}

CVNHidapiHandle::CVNHidapiHandle(hid_device_* device, const QString& node)
    : m_device(device)
    , m_node(node)
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

// A device in trouble fails every retry: its first failure of each kind is
// worth a line, the rest would only repeat it.
void CVNHidapiHandle::logOnce(Fault fault, const QString& what)
{
    if (m_logged.fetch_or(fault) & fault)
        return;
    qCWarning(lcDevice).noquote() << what << "on" << m_node;
}

bool CVNHidapiHandle::setFeature(const QByteArray& report)
{
    if (report.isEmpty())
        return false;
    return m_gate.run([&] {
        const int sent = hid_send_feature_report(m_device,
            reinterpret_cast<const unsigned char*>(report.constData()), static_cast<size_t>(report.size()));
        if (sent == report.size())
            return true;
        logOnce(Failed, QStringLiteral("HID set-feature failed (%1)").arg(errorText()));
        return false;
    });
}

bool CVNHidapiHandle::getFeature(QByteArray& report)
{
    return readReport(report, true);
}

bool CVNHidapiHandle::getInputReport(QByteArray& report)
{
    return readReport(report, false);
}

// Only a whole report counts: a device that answers fewer bytes than the
// report has would otherwise be read as zeros (a cut answer text, missing
// contacts), so a short report is a failed transfer and is tried again.
bool CVNHidapiHandle::readReport(QByteArray& report, bool feature)
{
    if (report.isEmpty())
        return false;
    QByteArray buffer(report.size(), '\0');
    buffer[0] = report.at(0);
    const bool read = m_gate.run([&] {
        auto* bytes = reinterpret_cast<unsigned char*>(buffer.data());
        const size_t size = static_cast<size_t>(buffer.size());
        const int got = feature ? hid_get_feature_report(m_device, bytes, size)
                                : hid_get_input_report(m_device, bytes, size);
        const QString kind = feature ? QStringLiteral("feature") : QStringLiteral("input");
        if (got < 0) {
            logOnce(Failed, QStringLiteral("HID get-%1 of report %2 failed (%3)")
                                .arg(kind)
                                .arg(static_cast<quint8>(report.at(0)))
                                .arg(errorText()));
            return false;
        }
        if (got != buffer.size()) {
            logOnce(Short, QStringLiteral("HID %1 report %2 came short: %3 of %4 bytes")
                               .arg(kind)
                               .arg(static_cast<quint8>(report.at(0)))
                               .arg(got)
                               .arg(buffer.size()));
            return false;
        }
        return true;
    });
    if (read)
        report = buffer;
    return read;
}

// Called inside the gate only, while the device is open.
QString CVNHidapiHandle::errorText() const
{
    const wchar_t* text = m_device ? hid_error(m_device) : nullptr;
    return text ? QString::fromWCharArray(text) : QStringLiteral("unknown error");
}

void CVNHidapiHandle::close()
{
    m_gate.close();
}
