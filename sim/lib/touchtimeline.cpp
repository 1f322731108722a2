#include "touchtimeline.h"

#include "simlimits.h"

namespace corvanesim {

namespace {

struct Stroke {
    quint8 id;
    qint64 downMs;  // within the loop
    qint64 upMs;
    int x0, y0, x1, y1;  // straight move from down to up
};

// The script. Coordinates are in the logical range 0..4095 of "flogs".
constexpr Stroke Strokes[] = {
    {1, 200, 1200, 800, 1000, 2000, 1500},
    {2, 400, 1200, 3000, 3000, 2500, 2000},
    // Seven fingers at once, more than one 6-contact frame report holds.
    {1, 1500, 1900, 500, 2000, 520, 2100},
    {2, 1500, 1900, 1000, 2000, 1020, 2100},
    {3, 1500, 1900, 1500, 2000, 1520, 2100},
    {4, 1500, 1900, 2000, 2000, 2020, 2100},
    {5, 1500, 1900, 2500, 2000, 2520, 2100},
    {6, 1500, 1900, 3000, 2000, 3020, 2100},
    {7, 1500, 1900, 3500, 2000, 3520, 2100},
};
constexpr int StrokeCount = int(sizeof(Strokes) / sizeof(Strokes[0]));
constexpr quint16 FingerSize = 40;

int interpolate(int a, int b, qint64 t, qint64 span)
{
    return span <= 0 ? a : int(a + (b - a) * t / span);
}

void putLe16(QByteArray* bytes, int offset, quint16 value)
{
    (*bytes)[offset] = char(value & 0xFF);
    (*bytes)[offset + 1] = char(value >> 8);
}

}  // namespace

QList<Contact> CVNTouchTimeline::contactsAt(qint64 ms) const
{
    QList<Contact> contacts;
    const qint64 t = ms < 0 ? 0 : ms % LoopMs;
    for (const Stroke& s : Strokes) {
        if (t < s.downMs || t >= s.upMs)
            continue;
        const qint64 along = t - s.downMs;
        const qint64 span = s.upMs - s.downMs;
        Contact c;
        c.id = s.id;
        c.flags = ContactTouching;
        c.x = quint16(interpolate(s.x0, s.x1, along, span));
        c.y = quint16(interpolate(s.y0, s.y1, along, span));
        c.size = quint16(FingerSize + along % 7);
        contacts.append(c);
    }
    return contacts;
}

int CVNTouchTimeline::contactsBegunBy(qint64 ms) const
{
    if (ms < 0)
        return 0;
    int begun = int(ms / LoopMs) * StrokeCount;
    const qint64 t = ms % LoopMs;
    for (const Stroke& s : Strokes)
        begun += t >= s.downMs ? 1 : 0;
    return begun;
}

QByteArray CVNTouchTimeline::reportAt(qint64 ms) const
{
    return encodeReport(contactsAt(ms));
}

QByteArray CVNTouchTimeline::encodeReport(const QList<Contact>& contacts)
{
    QByteArray report(TouchReportSize, '\0');
    report[0] = char(TouchReportId);
    for (int i = 0; i < contacts.size() && i < TouchRecordCount; ++i) {
        const int at = 1 + i * TouchRecordSize;
        report[at] = char(contacts[i].id);
        report[at + 1] = char(contacts[i].flags);
        putLe16(&report, at + 2, contacts[i].x);
        putLe16(&report, at + 4, contacts[i].y);
        putLe16(&report, at + 6, contacts[i].size);
    }
    return report;
}

}  // namespace corvanesim
