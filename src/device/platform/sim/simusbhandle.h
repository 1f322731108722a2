#pragma once

#include "device/platform/sim/simlinesocket.h"
#include "device/platform/usbplatform.h"

#include <memory>
#include <mutex>

// An open interface on the simulator: one socket connection per handle.
class CVNSimUsbHandle : public CVNUsbHandle
{
public:
    // Answer time allowed beyond a transfer's own timeout.
    static constexpr int AnswerGraceMs = 5000;

    // nullptr when the simulator refuses the path or cannot be reached.
    static std::unique_ptr<CVNSimUsbHandle> open(const QString& socketPath, const QString& path);

    bool setFeature(const QByteArray& report) override;
    bool getFeature(QByteArray& report) override;
    bool getInputReport(QByteArray& report) override;
    qint64 bulkWrite(quint8 endpoint, const QByteArray& data, int timeoutMs) override;
    bool bulkRead(quint8 endpoint, int maxLength, int timeoutMs, QByteArray& data) override;
    bool controlTransfer(quint8 requestType, quint8 request, quint16 value, quint16 index, QByteArray& data,
        int timeoutMs) override;
    void close() override;

private:
    CVNSimUsbHandle() = default;
    // Sends one request; the payload after "ok " (or empty) on success.
    [[nodiscard]] bool request(const QByteArray& line, QByteArray& payload);
    [[nodiscard]] bool readReport(const char* verb, QByteArray& report);

    CVNSimLineSocket m_socket;
    std::mutex m_mutex; // one exchange at a time on the connection
};
