#pragma once

#include <QByteArray>
#include <QVector>

// A contact record as the controller reports it (10 bytes, little-endian).
struct CVNRawContact
{
    static constexpr quint8 EmptyId = 0xFF;
    quint8 status = 0; // carried, not interpreted
    quint8 id = EmptyId;
    quint16 x = 0;
    quint16 y = 0;
    quint8 width = 0;
    quint8 height = 0;
    quint16 pressure = 0;
};

// A pen record (13 bytes); valid when its id is in 10..127.
struct CVNRawPen
{
    static constexpr int FirstId = 10;
    static constexpr int LastId = 127;
    quint8 id = 0;
    quint8 state = 0; // bit 1 barrel button, bit 3 eraser
    quint16 x = 0;
    quint16 y = 0;
    quint16 pressure = 0;
    qint8 tiltX = 0;
    qint8 tiltY = 0;
    quint16 rotation = 0;
    quint8 color = 0;

    static bool isValidId(int id) { return id >= FirstId && id <= LastId; }
};

// The raw records of one touch block: the contacts of the 64-byte touch
// reports and, in a 500-byte pen block, the four pen records.
struct CVNTouchRecords
{
    static constexpr int ReportSize = 64;
    static constexpr int CountOffset = 61;
    static constexpr int ContactsPerReport = 6;
    static constexpr int ContactSize = 10;
    static constexpr int PenBlockSize = 500;
    static constexpr int PenOffset = 448;
    static constexpr int PenSize = 13;
    static constexpr int PenCount = 4;

    QVector<CVNRawContact> contacts;
    QVector<CVNRawPen> pens;

    // Any bytes: the count is bounded by what the block holds, nothing is
    // read past it, the pen records are never read as contacts.
    static CVNTouchRecords decode(const QByteArray& block);
};
