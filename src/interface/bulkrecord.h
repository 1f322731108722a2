#pragma once

#include "device/devicerequest.h"

class CVNQtDataStream;

// A device request as a record of the bulk channel: type (8 bits), id
// (32 bits), name (text), then by type the value (a variant), the arguments
// (a list of variants), the text, or the data block.
class CVNBulkRecord
{
public:
    static const QString UnknownType;

    // Writes nothing for a request of type 0. A set carries its value, a
    // call its arguments, an error its text, a data record its bytes as
    // they are.
    static void write(CVNQtDataStream& stream, const CVNDeviceRequest& request);

    // The next record of a reply message. Get, set and call replies carry a
    // value, errors a text, data records exactly 72 bytes. A type outside
    // 1..6 gives type 0 with the text "Unknown type" and reads no further;
    // typeByte receives the type as it was on the wire. The stream's status
    // tells whether the record was complete.
    static CVNDeviceRequest read(CVNQtDataStream& stream, quint8* typeByte = nullptr);
};
