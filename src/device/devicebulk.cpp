#include "device/devicebulk.h"

#include "device/bulkframing.h"
#include "device/devicelog.h"

namespace
{
// The controller has a message ready when asked: the read gives up after this.
constexpr int ReadTimeoutMs = CVNUsbHandle::DefaultTimeoutMs;
constexpr int WriteTimeoutMs = CVNUsbHandle::DefaultTimeoutMs;
} // namespace

CVNDeviceBulk::CVNDeviceBulk(
    CVNDeviceParent* parent, std::unique_ptr<CVNUsbHandle> handle, quint8 inEndpoint, quint8 outEndpoint)
    : CVNDeviceDesc(parent)
    , m_handle(std::move(handle))
    , m_inEndpoint(inEndpoint)
    , m_outEndpoint(outEndpoint)
{
}

CVNDeviceBulk::~CVNDeviceBulk()
{
    close();
}

void CVNDeviceBulk::close()
{
    // No lock: closing must be able to interrupt a blocked transfer.
    if (m_handle)
        m_handle->close();
}

template <typename Transfer> bool CVNDeviceBulk::transfer(Transfer&& attempt)
{
    if (!isOpen() || !m_handle)
        return false;
    for (int i = 0; i < TransferAttempts; ++i) {
        if (i > 0 && !isOpen())
            return false; // closed meanwhile: no point in trying on
        if (attempt())
            return true;
    }
    if (CVNDeviceParent* parent = parentDevice())
        parent->markNotOpen();
    return false;
}

bool CVNDeviceBulk::writePacket(const QByteArray& packet)
{
    return transfer(
        [&] { return m_handle->bulkWrite(m_outEndpoint, packet, WriteTimeoutMs) == packet.size(); });
}

bool CVNDeviceBulk::readPacket(int size, QByteArray* packet)
{
    QByteArray bytes;
    if (!transfer([&] { return m_handle->bulkRead(m_inEndpoint, size, ReadTimeoutMs, bytes); })) {
        setReceiveError(QStringLiteral("the controller did not answer"));
        return false;
    }
    if (bytes.size() != size) {
        setReceiveError(QStringLiteral("packet of %1 bytes where %2 were due").arg(bytes.size()).arg(size));
        return false;
    }
    *packet = bytes;
    return true;
}

void CVNDeviceBulk::setReceiveError(const QString& text)
{
    std::lock_guard<std::mutex> lock(m_queueMutex);
    m_lastError = text;
}

QString CVNDeviceBulk::lastReceiveError() const
{
    std::lock_guard<std::mutex> lock(m_queueMutex);
    return m_lastError;
}

bool CVNDeviceBulk::sendLocked(const QByteArray& message)
{
    if (message.isEmpty())
        return true;
    const QVector<QByteArray> packets = CVNBulkFraming::packets(message);
    bool written = !packets.isEmpty();
    for (const QByteArray& packet : packets) {
        if (!written)
            break;
        written = writePacket(packet);
    }
    if (!written)
        qCDebug(lcDevice) << "device bulk sendData cannot write";
    return written;
}

bool CVNDeviceBulk::receiveLocked(QByteArray* message)
{
    setReceiveError(QString());
    QByteArray packet;
    if (!readPacket(CVNBulkFraming::FirstPacketSize, &packet))
        return false;
    const int total = CVNBulkFraming::header(packet);
    if (total == 0) {
        setReceiveError(QStringLiteral("empty message"));
        return false;
    }
    QByteArray result;
    result.reserve(total);
    int remaining = total;
    int size = CVNBulkFraming::FirstPacketSize;
    for (;;) {
        const int payload = CVNBulkFraming::payloadSize(size, remaining);
        result.append(packet.constData() + CVNBulkFraming::HeaderSize, payload);
        remaining -= payload;
        if (remaining == 0)
            break;
        size = CVNBulkFraming::nextPacketSize(remaining);
        if (!readPacket(size, &packet))
            return false;
        // Every packet repeats how much is still to come: a different count
        // means the two sides no longer agree on the packet sizes.
        const int announced = CVNBulkFraming::header(packet);
        if (announced != remaining) {
            setReceiveError(QStringLiteral("packet announces %1 bytes still to come where %2 were due")
                                .arg(announced)
                                .arg(remaining));
            return false;
        }
    }
    *message = result;
    return true;
}

bool CVNDeviceBulk::sendData(const QByteArray& message)
{
    std::lock_guard<std::mutex> lock(m_transferMutex);
    return sendLocked(message);
}

bool CVNDeviceBulk::receiveData()
{
    QByteArray message;
    {
        std::lock_guard<std::mutex> lock(m_transferMutex);
        if (!receiveLocked(&message))
            return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_queue.enqueue(message);
    }
    emit newData();
    return true;
}

QByteArray CVNDeviceBulk::takeMessage()
{
    std::lock_guard<std::mutex> lock(m_queueMutex);
    return m_queue.isEmpty() ? QByteArray() : m_queue.dequeue();
}

bool CVNDeviceBulk::exchange(const QByteArray& request, QByteArray* answer, QString* error)
{
    std::lock_guard<std::mutex> lock(m_transferMutex);
    if (request.size() > CVNBulkFraming::MaxMessageSize) {
        *error = QStringLiteral("request of %1 bytes is longer than a message can be").arg(request.size());
        return false;
    }
    if (!sendLocked(request)) {
        *error = QStringLiteral("the request could not be sent");
        return false;
    }
    if (!receiveLocked(answer)) {
        *error = lastReceiveError();
        return false;
    }
    return true;
}
