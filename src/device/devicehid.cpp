#include "device/devicehid.h"

#include "device/hidcommandreport.h"

#include <QThread>

CVNDeviceHid::CVNDeviceHid(CVNDeviceParent* parent, std::unique_ptr<CVNUsbHandle> handle)
    : CVNDeviceDesc(parent)
    , m_handle(std::move(handle))
{
    m_lastTransfer.start();
}

CVNDeviceHid::~CVNDeviceHid()
{
    close();
}

void CVNDeviceHid::close()
{
    // No lock: closing must be able to interrupt a blocked transfer.
    m_closed = true;
    if (m_handle)
        m_handle->close();
}

template <typename Transfer> bool CVNDeviceHid::transferLocked(Transfer&& transfer, bool closeOnFailure)
{
    if (!isOpen() || !m_handle || m_closed)
        return false;
    for (int attempt = 0; attempt < TransferAttempts; ++attempt) {
        if (attempt > 0 && (!isOpen() || m_closed))
            return false; // closed meanwhile (removal): no point in trying on
        if (m_lastTransfer.elapsed() < TransferSpacingMs)
            QThread::msleep(TransferSpacingMs);
        m_lastTransfer.restart();
        if (transfer())
            return true;
    }
    if (!closeOnFailure)
        return false;
    if (CVNDeviceParent* parent = parentDevice())
        parent->markNotOpen();
    return false;
}

bool CVNDeviceHid::setFeatureLocked(const QByteArray& report)
{
    return transferLocked([&] { return m_handle->setFeature(report); });
}

bool CVNDeviceHid::getFeatureLocked(QByteArray& report)
{
    return transferLocked([&] {
        QByteArray buffer = report;
        if (!m_handle->getFeature(buffer) || buffer.size() != report.size())
            return false;
        report = buffer;
        return true;
    });
}

bool CVNDeviceHid::setFeature(const QByteArray& report)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return setFeatureLocked(report);
}

bool CVNDeviceHid::getFeature(QByteArray& report)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return getFeatureLocked(report);
}

QString CVNDeviceHid::sendCommand(const QString& command, const QString& value, bool waitAnswer)
{
    if (!waitAnswer) {
        std::lock_guard<std::mutex> lock(m_mutex);
        (void)setFeatureLocked(CVNHidCommandReport::make(command, value));
        return QString();
    }
    QString answer;
    (void)exchangeCommand(command, value, answer);
    return answer;
}

bool CVNDeviceHid::exchangeCommand(const QString& command, const QString& value, QString& answer)
{
    answer.clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!setFeatureLocked(CVNHidCommandReport::make(command, value)))
        return false;
    QByteArray report = CVNHidCommandReport::answerBuffer();
    if (!getFeatureLocked(report))
        return false;
    answer = CVNHidCommandReport::answerText(report);
    return true;
}

bool CVNDeviceHid::sendCommandRaw(
    const QString& command, const QByteArray& block, QByteArray& answerBlock, bool waitAnswer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!setFeatureLocked(CVNHidCommandReport::makeRaw(command, block)))
        return false;
    if (!waitAnswer)
        return true;
    QByteArray answer = CVNHidCommandReport::answerBuffer();
    if (!getFeatureLocked(answer))
        return false;
    answerBlock = CVNHidCommandReport::answerBlock(answer);
    return true;
}

// A controller that does not deliver an input report fails only that read:
// whether it still answers is for the command channel to tell.
bool CVNDeviceHid::getInputLocked(QByteArray& report)
{
    if (report.isEmpty())
        return false;
    return transferLocked(
        [&] {
            QByteArray buffer = report;
            if (!m_handle->getInputReport(buffer) || buffer.size() != report.size())
                return false;
            report = buffer;
            return true;
        },
        false);
}

bool CVNDeviceHid::getInputReport(QByteArray& report)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return getInputLocked(report);
}
