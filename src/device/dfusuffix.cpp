#include "device/dfusuffix.h"

#include "device/device.h"

#include <array>

namespace
{

std::array<quint32, 256> makeCrcTable()
{
    std::array<quint32, 256> table {};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

quint16 le16(const QByteArray& bytes, qsizetype at)
{
    return quint16(quint8(bytes.at(at))) | quint16(quint16(quint8(bytes.at(at + 1))) << 8);
}

quint32 le32(const QByteArray& bytes, qsizetype at)
{
    return quint32(le16(bytes, at)) | (quint32(le16(bytes, at + 2)) << 16);
}

} // namespace

quint32 CVNDfuSuffix::crc32(const char* data, qsizetype size)
{
    static const std::array<quint32, 256> table = makeCrcTable();
    quint32 crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i)
        crc = table[(crc ^ quint8(data[i])) & 0xFF] ^ (crc >> 8);
    return crc;
}

bool CVNDfuSuffix::read(const QByteArray& file, CVNDfuSuffix* suffix)
{
    const qsizetype size = file.size();
    if (size < MinLength || size > MaxFileBytes)
        return false;
    suffix->releaseNumber = le16(file, size - 16);
    suffix->productId = le16(file, size - 14);
    suffix->vendorId = le16(file, size - 12);
    suffix->dfuVersion = le16(file, size - 10);
    suffix->length = quint8(file.at(size - 5));
    suffix->crc = le32(file, size - 4);
    return true;
}

bool CVNDfuSuffix::check(const QByteArray& file, quint16 dfuProductType, int* payloadLength)
{
    CVNDfuSuffix suffix;
    if (!read(file, &suffix))
        return false;
    const qsizetype size = file.size();
    if (crc32(file.constData(), size - 4) != suffix.crc)
        return false;
    if (file.at(size - 8) != 'U' || file.at(size - 7) != 'F' || file.at(size - 6) != 'D')
        return false;
    if (suffix.length < MinLength || suffix.length > size)
        return false;
    if (suffix.vendorId != ControllerVendorId && suffix.vendorId != AnyId)
        return false;
    // The file names the runtime product; the DFU-mode device is one above it.
    if (suffix.productId != quint16(dfuProductType - 1) && suffix.productId != AnyId)
        return false;
    *payloadLength = int(size - suffix.length);
    return true;
}
