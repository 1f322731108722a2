#include "device/dfuupload.h"

#include "device/dfusuffix.h"

#include <QThread>

#include <algorithm>

const QString CVNDfuUpload::NoDevice = QStringLiteral("No DFU capable USB device found");
const QString CVNDfuUpload::RuntimeMode = QStringLiteral("Device still in runtime mode");
const QString CVNDfuUpload::AbortFailed = QStringLiteral("DFU Error.. abort");
const QString CVNDfuUpload::ClearFailed = QStringLiteral("DFU Error.. clearing status");
const QString CVNDfuUpload::CommunicationError = QStringLiteral("DFU Error.. usb communication error");
const QString CVNDfuUpload::StatusNotOk = QStringLiteral("DFU Error.. status not OK");
const QString CVNDfuUpload::SuffixCheckFailed = QStringLiteral("Firmware suffix check failed");
const QString CVNDfuUpload::UploadError = QStringLiteral("Error during upload,");
const QString CVNDfuUpload::StatusPollFailed = QStringLiteral("Error during firmware upload");
const QString CVNDfuUpload::CompletionFailed = QStringLiteral("Error sending completion packet");
const QString CVNDfuUpload::Succeeded = QStringLiteral("Firmware updated successfully");
const QString CVNDfuUpload::ManifestationUnknown = QStringLiteral("Unable to read DFU status");

CVNDfuUpload::CVNDfuUpload(CVNDfuOperations& device, quint16 dfuProductType, CVNDfuUploadLimits limits)
    : m_device(device)
    , m_productType(dfuProductType)
    , m_limits(limits)
    , m_sleep([](int ms) {
        QThread::msleep(static_cast<unsigned long>(ms));
        return true;
    })
{
}

QString CVNDfuUpload::blockFailedText(quint8 state, quint8 status)
{
    return QStringLiteral("Firmware upload failed, state = %1, status = %2\n").arg(state).arg(status);
}

QString CVNDfuUpload::uploadErrorText(qint64 bytesSent)
{
    return UploadError + QString::number(bytesSent) + QStringLiteral(" bytes sent");
}

bool CVNDfuUpload::getStatus(CVNDfuStatus& record)
{
    record = CVNDfuStatus();
    return !cancelled() && m_device.getStatus(record);
}

bool CVNDfuUpload::sleepPoll(const CVNDfuStatus& record)
{
    const int ms = int(std::min<quint32>(record.pollTimeoutMs, quint32(m_limits.maxPollTimeoutMs)));
    return ms <= 0 || m_sleep(ms);
}

CVNDfuUploadResult CVNDfuUpload::run(const QByteArray& file)
{
    QString text;
    if (!reachIdle(&text))
        return { text, false };
    int payloadLength = 0;
    if (!CVNDfuSuffix::check(file, m_productType, &payloadLength))
        return { SuffixCheckFailed, false };
    quint16 nextBlock = 0;
    if (!sendPayload(file.left(payloadLength), &text, &nextBlock))
        return { text, false };
    if (cancelled() || !m_device.download(nextBlock, QByteArray()))
        return { CompletionFailed, false };
    text = awaitManifestation();
    return { text, text == Succeeded };
}

bool CVNDfuUpload::reachIdle(QString* text)
{
    CVNDfuStatus record;
    int rounds = 0;
    for (;;) {
        if (!getStatus(record)) {
            *text = NoDevice;
            return false;
        }
        sleepPoll(record);
        const quint8 state = record.state;
        if (state == CVNDfuStatus::AppIdle || state == CVNDfuStatus::AppDetach) {
            *text = RuntimeMode;
            return false;
        }
        const bool mustAbort = state == CVNDfuStatus::DnloadIdle || state == CVNDfuStatus::UploadIdle;
        const bool mustClear = state == CVNDfuStatus::Error;
        if (!mustAbort && !mustClear)
            break;
        // A device that never leaves the state answers as if the request had failed.
        const bool stuck = ++rounds > m_limits.maxIdleRounds;
        if (mustAbort && (stuck || cancelled() || !m_device.abort())) {
            *text = AbortFailed;
            return false;
        }
        if (mustClear && (stuck || cancelled() || !m_device.clearStatus())) {
            *text = ClearFailed;
            return false;
        }
    }
    if (record.isOk())
        return true;
    if (cancelled() || !m_device.clearStatus() || !getStatus(record)) {
        *text = CommunicationError;
        return false;
    }
    if (!record.isOk()) {
        *text = StatusNotOk;
        return false;
    }
    sleepPoll(record);
    return true;
}

bool CVNDfuUpload::sendPayload(const QByteArray& payload, QString* text, quint16* nextBlock)
{
    qint64 sent = 0;
    quint16 block = 0;
    // The file size is bounded, so block numbers stay below 2^16.
    while (sent < payload.size()) {
        const QByteArray data = payload.mid(int(sent), BlockSize);
        if (cancelled() || !m_device.download(block, data)) {
            *text = uploadErrorText(sent);
            return false;
        }
        if (!awaitBlock(text))
            return false;
        sent += data.size();
        ++block;
    }
    *nextBlock = block;
    return true;
}

bool CVNDfuUpload::awaitBlock(QString* text)
{
    CVNDfuStatus record;
    qint64 slept = 0;
    for (int polls = 1;; ++polls) {
        if (!getStatus(record)) {
            *text = StatusPollFailed;
            return false;
        }
        if (record.state == CVNDfuStatus::DnloadIdle || record.state == CVNDfuStatus::Error)
            break;
        slept += std::min<quint32>(record.pollTimeoutMs, quint32(m_limits.maxPollTimeoutMs));
        if (polls >= m_limits.maxStatusPolls || slept > m_limits.phaseBudgetMs || !sleepPoll(record)) {
            *text = StatusPollFailed;
            return false;
        }
    }
    if (!record.isOk()) {
        *text = blockFailedText(record.state, record.status);
        return false;
    }
    return true;
}

QString CVNDfuUpload::awaitManifestation()
{
    CVNDfuStatus record;
    qint64 slept = 0;
    for (int polls = 1;; ++polls) {
        // The device resets once the new firmware is in place: its DFU
        // interface goes, and the request fails. That is also why the upload
        // is stopped here when the device is taken away: its answer decides.
        record = CVNDfuStatus();
        if (!m_device.getStatus(record))
            return Succeeded;
        if (record.state != CVNDfuStatus::DnloadSync && record.state != CVNDfuStatus::Manifest)
            return ManifestationUnknown;
        // Taken away while manifesting is what a reset looks like from here:
        // one more request tells a device that went from one still there.
        if (cancelled())
            return m_device.getStatus(record) ? ManifestationUnknown : Succeeded;
        // Asking again before the poll timeout is against the protocol, so
        // the device's wait is kept; a device that never finishes is given up.
        slept += std::min<quint32>(record.pollTimeoutMs, quint32(m_limits.maxPollTimeoutMs));
        if (polls >= m_limits.maxStatusPolls || slept > m_limits.phaseBudgetMs)
            return ManifestationUnknown;
        sleepPoll(record);
    }
}
