#include "device/platform/linux/hidreportdescriptor.h"

namespace
{

constexpr quint8 LongItemPrefix = 0xFE;
constexpr quint8 TypeMain = 0;
constexpr quint8 TypeGlobal = 1;
constexpr quint8 TypeLocal = 2;
constexpr quint8 TagCollection = 0x0A;
constexpr quint8 TagUsagePage = 0x0;
constexpr quint8 TagUsage = 0x0;

} // namespace

bool parseTopLevelUsage(const QByteArray& descriptor, CVNHidTopLevelUsage& usage)
{
    usage = CVNHidTopLevelUsage();
    const auto* bytes = reinterpret_cast<const quint8*>(descriptor.constData());
    const int size = descriptor.size();
    int pos = 0;
    while (pos < size) {
        const quint8 prefix = bytes[pos];
        if (prefix == LongItemPrefix) {
            if (pos + 1 >= size)
                return false;
            pos += 3 + bytes[pos + 1];
            continue;
        }
        const int dataSize = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (pos + 1 + dataSize > size)
            return false;
        quint32 data = 0;
        for (int i = 0; i < dataSize; ++i)
            data |= static_cast<quint32>(bytes[pos + 1 + i]) << (8 * i);
        const quint8 type = (prefix >> 2) & 3;
        const quint8 tag = prefix >> 4;
        if (type == TypeMain && tag == TagCollection)
            return true;
        if (type == TypeGlobal && tag == TagUsagePage) {
            usage.usagePage = static_cast<quint16>(data);
        } else if (type == TypeLocal && tag == TagUsage) {
            // A 4-byte usage carries its own page in the high half.
            if (dataSize == 4)
                usage.usagePage = static_cast<quint16>(data >> 16);
            usage.usage = static_cast<quint16>(data);
        }
        pos += 1 + dataSize;
    }
    return false;
}
