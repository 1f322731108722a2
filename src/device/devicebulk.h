#pragma once

#include "device/device.h"
#include "device/platform/usbplatform.h"

#include <QByteArray>
#include <QQueue>
#include <QString>

#include <memory>
#include <mutex>

// The vendor bulk interface of a controller: holds the open handle and the
// two pipes found by recognition, and moves whole messages over them in the
// packets of CVNBulkFraming. Received messages wait in a queue, oldest
// first. A pipe transfer is tried TransferAttempts times, after which the
// controller is marked not open for good.
class CVNDeviceBulk : public CVNDeviceDesc
{
    Q_OBJECT
public:
    static constexpr int TransferAttempts = 5;

    CVNDeviceBulk(
        CVNDeviceParent* parent, std::unique_ptr<CVNUsbHandle> handle, quint8 inEndpoint, quint8 outEndpoint);
    ~CVNDeviceBulk() override;

    CVNDeviceKind kind() const override { return CVNDeviceKind::Bulk; }
    void close() override;

    CVNUsbHandle* handle() const { return m_handle.get(); }
    quint8 inEndpoint() const { return m_inEndpoint; }
    quint8 outEndpoint() const { return m_outEndpoint; }

    // Sends one message; false when a packet cannot be written or the message
    // is too long to frame. An empty message sends nothing and succeeds.
    [[nodiscard]] bool sendData(const QByteArray& message);
    // Removes and returns the oldest queued message; empty when none.
    QByteArray takeMessage();
    // Why the last receive queued nothing: empty after a success, else a
    // text for the user ("the controller did not answer", or what was wrong
    // with the packets).
    QString lastReceiveError() const;

    // Sends the request and receives the answer as one exchange that no
    // other thread's transfers interleave with. False (and the reason in
    // error) when either half fails; the answer is not left in the queue.
    [[nodiscard]] bool exchange(const QByteArray& request, QByteArray* answer, QString* error);

public slots:
    // Reads one message; when it is complete and non-empty it is queued and
    // newData() is emitted. Returns whether a message was queued.
    bool receiveData();

signals:
    void newData();

private:
    bool sendLocked(const QByteArray& message);
    // One complete message, or false with m_lastError set.
    bool receiveLocked(QByteArray* message);
    template <typename Transfer> bool transfer(Transfer&& attempt);
    bool writePacket(const QByteArray& packet);
    // Exactly `size` bytes; a shorter packet is a framing fault, not a
    // failed transfer.
    bool readPacket(int size, QByteArray* packet);
    void setReceiveError(const QString& text);

    std::unique_ptr<CVNUsbHandle> m_handle;
    quint8 m_inEndpoint;
    quint8 m_outEndpoint;
    std::mutex m_transferMutex; // one message (or exchange) on the pipes at a time
    mutable std::mutex m_queueMutex;
    QQueue<QByteArray> m_queue;
    QString m_lastError;
};
