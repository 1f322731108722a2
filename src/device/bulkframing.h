#pragma once

#include <QByteArray>
#include <QVector>

// How one message travels as packets on the bulk pipes. Every packet starts
// with the count of message bytes still to come, this packet's payload
// included (16 bits, little-endian); the rest is payload, zero padded. The
// first packet is 64 bytes; each later size follows from what is still to
// come, so both sides know every packet's size in advance.
class CVNBulkFraming
{
public:
    static constexpr int HeaderSize = 2;
    static constexpr int FirstPacketSize = 64;
    static constexpr int PacketGranule = 64;
    static constexpr int MaxPacketSize = 4096;
    // The header counts in 16 bits: no message can be longer.
    static constexpr int MaxMessageSize = 0xFFFF;

    // Size of the packet that follows when `remaining` message bytes are
    // still to come: 64 when they fit, else remaining + 2 rounded up to a
    // multiple of 64, at most 4096.
    static int nextPacketSize(int remaining);
    // Payload bytes a packet of that size carries when `remaining` bytes are
    // still to come.
    static int payloadSize(int packetSize, int remaining);

    // The packets of a message, in order; none for an empty message or one
    // longer than MaxMessageSize.
    static QVector<QByteArray> packets(const QByteArray& message);

    // The header of a packet; 0 for a packet shorter than the header.
    static int header(const QByteArray& packet);
};
