#pragma once

#include "device/devicerequest.h"

#include <QByteArray>
#include <QString>

class CVNDeviceHid;

// Bit maps that move in 64-byte command blocks: a 4-byte header of two
// letters and the block index as two decimal digits ("bs07", "bg07"), then
// 60 bytes = 480 cells. Used by the cell mask ("fec") and the foil health
// result ("foilh").
class CVNHidBlockExchange
{
public:
    // floor(cells / 480) + 1, or 0 when the cells do not fit into the 100
    // blocks that two decimal digits address.
    static int blockCount(int cells);
    // The blocks of the grid whose width and height are the first two
    // arguments of a request; 0 when they name no grid (sides 1 ..
    // MaxGridSide).
    static int gridBlocks(const QVariantList& arguments);
    static QByteArray header(const char* tag, int index);

    // The payloads of blocks 0 .. blocks - 1 read with "bgNN", concatenated.
    // False with a text when a transfer failed or the controller refused.
    [[nodiscard]] static bool read(
        CVNDeviceHid& device, const QString& command, int blocks, QByteArray* bytes, QString* error);
    // read() as the reply to a request: the payloads as its value, or an
    // error reply with the reason ("invalid arguments" for no blocks).
    static CVNDeviceRequest readReply(
        CVNDeviceHid& device, const QString& command, int blocks, const CVNDeviceRequest& request);
    // bytes sent in blocks 0 .. blocks - 1 with "bsNN", zero padded.
    [[nodiscard]] static bool write(
        CVNDeviceHid& device, const QString& command, const QByteArray& bytes, int blocks, QString* error);

    // An answer block that does not echo the header and whose text holds
    // "error" (any case) is a refusal; its text is the controller's words.
    static bool isRefusal(const QByteArray& answer, const QByteArray& header, QString* text);
};
