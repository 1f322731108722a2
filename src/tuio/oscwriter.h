#pragma once

#include <QByteArray>

#include <memory>

namespace osc
{
class OutboundPacketStream;
}

// oscpack's packet stream over a buffer sized for what is planned, so that
// it never runs out of room (it would throw).
class OscWriter
{
public:
    explicit OscWriter(int capacity);
    ~OscWriter();
    OscWriter(const OscWriter&) = delete;
    OscWriter& operator=(const OscWriter&) = delete;

    osc::OutboundPacketStream& stream() { return *m_stream; }
    // The packet written, or an empty array when oscpack refused it.
    QByteArray take();
    void fail() { m_failed = true; }

private:
    QByteArray m_buffer;
    std::unique_ptr<osc::OutboundPacketStream> m_stream;
    bool m_failed = false;
};
