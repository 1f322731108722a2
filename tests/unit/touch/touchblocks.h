#pragma once

// Touch blocks written by hand, the way a controller lays them out, for
// feeding the decoder and the tracker.

#include <QByteArray>
#include <QVector>

struct FingerAt {
    int id;
    int x;
    int y;
    int pressure = 500;
};

struct PenAt {
    int id;
    int x;
    int y;
    int pressure = 300;
    int state = 0;
    int color = 0;
};

inline void putLe16(QByteArray& bytes, int at, int value)
{
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char((value >> 8) & 0xFF);
}

// C / 6 + 1 reports of 64 bytes; with pens, the 500-byte pen block.
inline QByteArray touchBlock(const QVector<FingerAt>& fingers, const QVector<PenAt>& pens = {})
{
    const int reports = fingers.size() / 6 + 1;
    QByteArray block(reports * 64, '\0');
    block[61] = char(fingers.size());
    for (int i = 0; i < fingers.size(); ++i) {
        const int at = (i / 6) * 64 + 1 + (i % 6) * 10;
        block[at] = 1;
        block[at + 1] = char(fingers[i].id);
        putLe16(block, at + 2, fingers[i].x);
        putLe16(block, at + 4, fingers[i].y);
        block[at + 6] = 11;
        block[at + 7] = 12;
        putLe16(block, at + 8, fingers[i].pressure);
    }
    if (pens.isEmpty())
        return block;
    block.append(QByteArray(448 - block.size(), '\0'));
    QByteArray records(52, '\0');
    for (int j = 0; j < pens.size() && j < 4; ++j) {
        const int at = j * 13;
        records[at] = char(pens[j].id);
        records[at + 1] = char(pens[j].state);
        putLe16(records, at + 2, pens[j].x);
        putLe16(records, at + 4, pens[j].y);
        putLe16(records, at + 6, pens[j].pressure);
        records[at + 8] = char(-2);
        records[at + 9] = char(3);
        putLe16(records, at + 10, 45);
        records[at + 12] = char(pens[j].color);
    }
    return block + records;
}
