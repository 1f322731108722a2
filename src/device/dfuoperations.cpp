#include "device/dfuoperations.h"

bool CVNDfuStatus::parse(const QByteArray& bytes, CVNDfuStatus* record)
{
    if (bytes.size() < WireSize)
        return false;
    const auto byte = [&bytes](int i) { return static_cast<quint8>(bytes.at(i)); };
    record->status = byte(0);
    record->pollTimeoutMs = quint32(byte(1)) | (quint32(byte(2)) << 8) | (quint32(byte(3)) << 16);
    record->state = byte(4);
    record->stringIndex = byte(5);
    return true;
}

QByteArray CVNDfuStatus::toBytes() const
{
    QByteArray bytes(WireSize, '\0');
    bytes[0] = char(status);
    bytes[1] = char(pollTimeoutMs & 0xFF);
    bytes[2] = char((pollTimeoutMs >> 8) & 0xFF);
    bytes[3] = char((pollTimeoutMs >> 16) & 0xFF);
    bytes[4] = char(state);
    bytes[5] = char(stringIndex);
    return bytes;
}
