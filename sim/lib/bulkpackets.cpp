#include "bulkpackets.h"

namespace corvanesim {

namespace {

int countOf(const QByteArray& packet)
{
    return quint8(packet[0]) | (quint8(packet[1]) << 8);
}

}  // namespace

int bulkPacketLength(int left)
{
    int length = BulkPacketStep;
    while (length < left + 2 && length < BulkLargestPacket)
        length += BulkPacketStep;
    return length;
}

QList<QByteArray> bulkPackets(const QByteArray& message)
{
    QList<QByteArray> packets;
    if (message.isEmpty() || message.size() > BulkLongestMessage)
        return packets;
    int sent = 0;
    int length = BulkFirstPacket;
    while (sent < message.size()) {
        const int left = message.size() - sent;
        const QByteArray part = message.mid(sent, length - 2);
        QByteArray packet;
        packet.append(char(left & 0xFF)).append(char(left >> 8)).append(part);
        packet.append(QByteArray(length - packet.size(), '\0'));
        packets.append(packet);
        sent += part.size();
        length = bulkPacketLength(message.size() - sent);
    }
    return packets;
}

void CVNBulkAssembler::restart()
{
    m_left = 0;
    m_due = BulkFirstPacket;
}

CVNBulkAssembler::Step CVNBulkAssembler::add(const QByteArray& packet)
{
    const bool first = m_left == 0;
    if (first) {
        m_message.clear();
        m_lengths.clear();
    }
    m_lengths.append(packet.size());
    if (packet.size() != m_due) {
        restart();
        return Step::Refused;
    }
    const int count = countOf(packet);
    if (count == 0 || (!first && count != m_left)) {
        restart();
        return Step::Refused;
    }
    const QByteArray part = packet.mid(2, qMin(count, m_due - 2));
    m_message.append(part);
    m_left = count - part.size();
    if (m_left == 0) {
        m_due = BulkFirstPacket;
        return Step::Complete;
    }
    m_due = bulkPacketLength(m_left);
    return Step::Incomplete;
}

}  // namespace corvanesim
