#pragma once

#include <QByteArray>
#include <QtGlobal>

// The DFU 1.1 file suffix at the end of a firmware file: the last 16 bytes
// (or more, by its length byte) with the ids the file is meant for and a
// CRC over everything before the CRC itself. All fields little-endian.
struct CVNDfuSuffix
{
    static constexpr int MinLength = 16;
    // Files larger than this are no firmware for a controller: refused
    // before anything is computed over them.
    static constexpr int MaxFileBytes = 4 * 1024 * 1024;
    // Vendor or product that matches any device.
    static constexpr quint16 AnyId = 0xFFFF;

    quint16 releaseNumber = AnyId; // bcdDevice
    quint16 productId = AnyId;
    quint16 vendorId = AnyId;
    quint16 dfuVersion = 0; // bcdDFU
    quint8 length = 0; // bLength
    quint32 crc = 0; // dwCRC as stored

    // Reads the fixed fields from the last 16 bytes; false when the file is
    // shorter than that or longer than MaxFileBytes. Nothing is checked.
    [[nodiscard]] static bool read(const QByteArray& file, CVNDfuSuffix* suffix);

    // The whole check for a DFU device of `dfuProductType` (the runtime
    // product id plus 1): size, CRC, signature "UFD", suffix length,
    // vendor (ControllerVendorId or any) and product (dfuProductType - 1 or
    // any). On success `payloadLength` receives the bytes before the suffix.
    [[nodiscard]] static bool check(const QByteArray& file, quint16 dfuProductType, int* payloadLength);

    // CRC-32 with the reflected polynomial 0xEDB88320, initial value
    // 0xFFFFFFFF and no final inversion, as the suffix stores it.
    static quint32 crc32(const char* data, qsizetype size);
};
