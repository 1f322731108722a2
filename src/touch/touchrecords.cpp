#include "touch/touchrecords.h"

namespace
{

quint16 le16(const uchar* p)
{
    return static_cast<quint16>(p[0] | (p[1] << 8));
}

} // namespace

CVNTouchRecords CVNTouchRecords::decode(const QByteArray& block)
{
    CVNTouchRecords records;
    if (block.size() <= CountOffset)
        return records;
    const auto* bytes = reinterpret_cast<const uchar*>(block.constData());
    const bool penBlock = block.size() == PenBlockSize;
    // The contact reports end where the pen records begin.
    const int reportBytes = penBlock ? PenOffset : block.size();
    const int count = bytes[CountOffset];
    const int reports = count / ContactsPerReport + 1;
    records.contacts.reserve(qMin(count, reportBytes / ReportSize * ContactsPerReport + ContactsPerReport));
    for (int p = 0; p < reports && records.contacts.size() < count; ++p) {
        for (int k = 0; k < ContactsPerReport && records.contacts.size() < count; ++k) {
            const int at = p * ReportSize + 1 + k * ContactSize;
            if (at + ContactSize > reportBytes)
                break;
            const uchar* r = bytes + at;
            CVNRawContact c;
            c.status = r[0];
            c.id = r[1];
            c.x = le16(r + 2);
            c.y = le16(r + 4);
            c.width = r[6];
            c.height = r[7];
            c.pressure = le16(r + 8);
            records.contacts.append(c);
        }
    }
    if (!penBlock)
        return records;
    for (int j = 0; j < PenCount; ++j) {
        const uchar* r = bytes + PenOffset + j * PenSize;
        CVNRawPen pen;
        pen.id = r[0];
        pen.state = r[1];
        pen.x = le16(r + 2);
        pen.y = le16(r + 4);
        pen.pressure = le16(r + 6);
        pen.tiltX = static_cast<qint8>(r[8]);
        pen.tiltY = static_cast<qint8>(r[9]);
        pen.rotation = le16(r + 10);
        pen.color = r[12];
        records.pens.append(pen);
    }
    return records;
}
