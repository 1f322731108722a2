#pragma once

#include "device/device.h"
#include "device/platform/usbplatform.h"

#include <QElapsedTimer>

#include <atomic>
#include <memory>
#include <mutex>

// The HID interface of a controller: the command channel and the input
// reports (touches). Transfers block the calling thread; one device's transfers are
// spaced at least TransferSpacingMs apart and a failed transfer is tried
// TransferAttempts times, after which the controller is marked not open for
// good.
class CVNDeviceHid : public CVNDeviceDesc
{
    Q_OBJECT
public:
    static constexpr int TransferAttempts = 10;
    static constexpr int TransferSpacingMs = 1;

    CVNDeviceHid(CVNDeviceParent* parent, std::unique_ptr<CVNUsbHandle> handle);
    ~CVNDeviceHid() override;

    CVNDeviceKind kind() const override { return CVNDeviceKind::Hid; }
    // Any thread: a transfer in flight fails at once where the platform
    // allows, and no attempt follows.
    void close() override;

    // report: first byte the report id; a get fills the buffer in place.
    [[nodiscard]] bool setFeature(const QByteArray& report);
    [[nodiscard]] bool getFeature(QByteArray& report);

    // The answer text; empty when nothing was read.
    QString sendCommand(const QString& command, const QString& value, bool waitAnswer);
    // The same, telling a transfer that failed (false, empty answer) from a
    // controller that answered with an empty text.
    [[nodiscard]] bool exchangeCommand(const QString& command, const QString& value, QString& answer);
    // The same with a raw 64-byte value block; answerBlock receives the 64
    // answer bytes unchanged. False when nothing was read.
    [[nodiscard]] bool sendCommandRaw(
        const QString& command, const QByteArray& block, QByteArray& answerBlock, bool waitAnswer);
    // report: sized to the expected length, first byte the report id; filled
    // in place. A report of another length counts as a failed transfer.
    [[nodiscard]] bool getInputReport(QByteArray& report);
    // Several input reports in one go, none of another device's exchanges
    // between them: each is sized and preset like getInputReport's.
    // reader gets a read function; what it returns is returned.
    template <typename Reader> bool readInputReports(Reader&& reader)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return reader([this](QByteArray& report) { return getInputLocked(report); });
    }

private:
    template <typename Transfer> bool transferLocked(Transfer&& transfer, bool closeOnFailure = true);
    bool setFeatureLocked(const QByteArray& report);
    bool getFeatureLocked(QByteArray& report);
    bool getInputLocked(QByteArray& report);

    std::unique_ptr<CVNUsbHandle> m_handle;
    std::atomic<bool> m_closed { false };
    QElapsedTimer m_lastTransfer;
    std::mutex m_mutex; // one exchange (set + get) at a time
};
