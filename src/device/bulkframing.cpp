#include "device/bulkframing.h"

#include <QtEndian>

#include <algorithm>

int CVNBulkFraming::nextPacketSize(int remaining)
{
    const int wanted = remaining + HeaderSize;
    if (wanted <= PacketGranule)
        return PacketGranule;
    const int rounded = (wanted + PacketGranule - 1) / PacketGranule * PacketGranule;
    return std::min(rounded, MaxPacketSize);
}

int CVNBulkFraming::payloadSize(int packetSize, int remaining)
{
    return std::max(0, std::min(remaining, packetSize - HeaderSize));
}

QVector<QByteArray> CVNBulkFraming::packets(const QByteArray& message)
{
    QVector<QByteArray> result;
    if (message.isEmpty() || message.size() > MaxMessageSize)
        return result;
    int offset = 0;
    int size = FirstPacketSize;
    while (offset < message.size()) {
        const int remaining = message.size() - offset;
        const int payload = payloadSize(size, remaining);
        QByteArray packet(size, '\0');
        qToLittleEndian<quint16>(quint16(remaining), packet.data());
        std::copy_n(message.constData() + offset, payload, packet.data() + HeaderSize);
        result.append(packet);
        offset += payload;
        size = nextPacketSize(message.size() - offset);
    }
    return result;
}

int CVNBulkFraming::header(const QByteArray& packet)
{
    if (packet.size() < HeaderSize)
        return 0;
    return qFromLittleEndian<quint16>(packet.constData());
}
