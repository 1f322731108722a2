#pragma once

#include "device/dfuoperations.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Bounds of the waits on a DFU device: a device that stays in one state, or
// asks for absurd poll timeouts, ends the upload with an error instead of
// holding it forever.
struct CVNDfuUploadLimits
{
    // Aborts or status clears while bringing the device to an idle state.
    int maxIdleRounds = 8;
    // Status polls after one block, and during manifestation.
    int maxStatusPolls = 500;
    // Longer poll timeouts a device asks for are cut to this.
    int maxPollTimeoutMs = 5000;
    // Time allowed for one block's status polls, and for manifestation.
    int phaseBudgetMs = 60000;
};

struct CVNDfuUploadResult
{
    QString text;
    bool succeeded = false;
};

// Writes one firmware file to a device in DFU mode, following DFU 1.1: the
// device is brought to an idle state, the file's suffix is checked, the
// payload goes in 1024-byte blocks with status polling after each, then the
// completion request and the wait for manifestation. Every outcome is one of
// the texts below. Runs on any thread; blocks while it runs.
class CVNDfuUpload
{
public:
    static constexpr int BlockSize = 1024;

    static const QString NoDevice;
    static const QString RuntimeMode;
    static const QString AbortFailed;
    static const QString ClearFailed;
    static const QString CommunicationError;
    static const QString StatusNotOk;
    static const QString SuffixCheckFailed;
    static const QString UploadError; // followed by the bytes sent and " bytes sent"
    static const QString StatusPollFailed;
    static const QString CompletionFailed;
    static const QString Succeeded;
    static const QString ManifestationUnknown;

    // Sleeps the given milliseconds; false when the upload is to stop.
    using Sleep = std::function<bool(int milliseconds)>;
    // True when the upload is to stop: every later request then counts as
    // failed.
    using Cancelled = std::function<bool()>;

    CVNDfuUpload(CVNDfuOperations& device, quint16 dfuProductType, CVNDfuUploadLimits limits = {});

    void setSleep(Sleep sleep) { m_sleep = std::move(sleep); }
    void setCancelled(Cancelled cancelled) { m_cancelled = std::move(cancelled); }

    [[nodiscard]] CVNDfuUploadResult run(const QByteArray& file);

    // "Firmware upload failed, state = S, status = T\n"
    static QString blockFailedText(quint8 state, quint8 status);
    static QString uploadErrorText(qint64 bytesSent);

private:
    enum class Step { Continue, Stop };

    bool getStatus(CVNDfuStatus& record);
    bool sleepPoll(const CVNDfuStatus& record);
    // The device in an idle DFU state with status OK; text set on failure.
    bool reachIdle(QString* text);
    bool sendPayload(const QByteArray& payload, QString* text, quint16* nextBlock);
    // Polls after one block until the device took it; text set on failure.
    bool awaitBlock(QString* text);
    QString awaitManifestation();
    bool cancelled() const { return m_cancelled && m_cancelled(); }

    CVNDfuOperations& m_device;
    quint16 m_productType;
    CVNDfuUploadLimits m_limits;
    Sleep m_sleep;
    Cancelled m_cancelled;
};
