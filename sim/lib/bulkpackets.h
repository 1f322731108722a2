// How the controller cuts a message into packets on its bulk pipes and puts
// the host's packets back together. Each packet begins with two bytes
// (little-endian): how many message bytes are still to come, this packet's
// own included. The first packet has 64 bytes; each further one is as long
// as the rest needs plus those two bytes, in steps of 64, at most 4096.
#pragma once

#include <QByteArray>
#include <QList>

namespace corvanesim {

constexpr int BulkFirstPacket = 64;
constexpr int BulkPacketStep = 64;
constexpr int BulkLargestPacket = 4096;
constexpr int BulkLongestMessage = 0xFFFF;

// The length of the packet that carries the next part of a message when
// `left` bytes of it are still to come.
int bulkPacketLength(int left);

// The packets of a message (none when it is empty or too long).
QList<QByteArray> bulkPackets(const QByteArray& message);

// Collects the host's packets until a message is complete.
class CVNBulkAssembler {
public:
    enum class Step { Incomplete, Complete, Refused };

    // A packet of the wrong length or with a count that does not follow on
    // from the previous packet is refused and the message begun is dropped.
    Step add(const QByteArray& packet);
    // The message completed by the last add().
    QByteArray message() const { return m_message; }
    // Packet lengths seen for the message being (or last) assembled.
    QList<int> packetLengths() const { return m_lengths; }

private:
    void restart();

    QByteArray m_message;
    QList<int> m_lengths;
    int m_left = 0;  // bytes still due; 0 before a first packet
    int m_due = BulkFirstPacket;
};

}  // namespace corvanesim
