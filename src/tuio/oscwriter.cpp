#include "tuio/oscwriter.h"

#include <osc/OscOutboundPacketStream.h>

OscWriter::OscWriter(int capacity)
    : m_buffer(capacity, '\0')
    , m_stream(std::make_unique<osc::OutboundPacketStream>(m_buffer.data(), static_cast<std::size_t>(capacity)))
{
}

OscWriter::~OscWriter() = default;

QByteArray OscWriter::take()
{
    if (m_failed || !m_stream->IsReady())
        return QByteArray();
    return QByteArray(m_stream->Data(), static_cast<int>(m_stream->Size()));
}
