#include "touchtimeline.h"

#include <QHash>
#include <QStringList>

#include <functional>

namespace corvanesim {

namespace {

constexpr quint8 FingerWidth = 40;
constexpr quint16 FingerPressure = 500;
constexpr int MaxCoordinate = 0xFFFF;

int interpolate(int a, int b, qint64 t, qint64 span)
{
    return span <= 0 ? a : int(a + (b - a) * t / span);
}

bool number(const QString& text, qint64 low, qint64 high, qint64* out)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n < low || n > high)
        return false;
    *out = n;
    return true;
}

// key=value words of a stroke: the allowed range and where the value goes.
struct Key {
    qint64 low;
    qint64 high;
    std::function<void(qint64, Contact*, Pen*)> apply;
};

const QHash<QString, Key>& fingerKeys()
{
    static const QHash<QString, Key> keys = {
        {QStringLiteral("pressure"), {0, 0xFFFF, [](qint64 v, Contact* c, Pen*) { c->pressure = quint16(v); }}},
        {QStringLiteral("width"), {0, 0xFF, [](qint64 v, Contact* c, Pen*) { c->width = quint8(v); c->size = quint16(v); }}},
        {QStringLiteral("height"), {0, 0xFF, [](qint64 v, Contact* c, Pen*) { c->height = quint8(v); }}},
        {QStringLiteral("status"), {0, 0xFF, [](qint64 v, Contact* c, Pen*) { c->flags = quint8(v); }}},
    };
    return keys;
}

void setBit(Pen* p, quint8 bit, qint64 on)
{
    p->state = on ? quint8(p->state | bit) : quint8(p->state & ~bit);
}

const QHash<QString, Key>& penKeys()
{
    static const QHash<QString, Key> keys = {
        {QStringLiteral("pressure"), {0, 0xFFFF, [](qint64 v, Contact*, Pen* p) { p->pressure = quint16(v); }}},
        {QStringLiteral("tiltx"), {-128, 127, [](qint64 v, Contact*, Pen* p) { p->tiltX = qint8(v); }}},
        {QStringLiteral("tilty"), {-128, 127, [](qint64 v, Contact*, Pen* p) { p->tiltY = qint8(v); }}},
        {QStringLiteral("rotation"), {0, 0xFFFF, [](qint64 v, Contact*, Pen* p) { p->rotation = quint16(v); }}},
        {QStringLiteral("color"), {0, 0xFF, [](qint64 v, Contact*, Pen* p) { p->color = quint8(v); }}},
        {QStringLiteral("barrel"), {0, 1, [](qint64 v, Contact*, Pen* p) { setBit(p, PenBarrel, v); }}},
        {QStringLiteral("eraser"), {0, 1, [](qint64 v, Contact*, Pen* p) { setBit(p, PenEraser, v); }}},
    };
    return keys;
}

Contact defaultFinger()
{
    Contact c;
    c.flags = ContactTouching;
    c.width = FingerWidth;
    c.height = FingerWidth;
    c.size = FingerWidth;
    c.pressure = FingerPressure;
    return c;
}

}  // namespace

CVNTouchTimeline::CVNTouchTimeline()
{
    // Coordinates are in the logical range 0..4095 of "flogs".
    static const char* const Script[] = {
        "finger 1 200 1200 800 1000 2000 1500",
        "finger 2 400 1200 3000 3000 2500 2000",
        // Seven fingers at once, more than one 6-contact touch report holds.
        "finger 1 1500 1900 500 2000 520 2100",
        "finger 2 1500 1900 1000 2000 1020 2100",
        "finger 3 1500 1900 1500 2000 1520 2100",
        "finger 4 1500 1900 2000 2000 2020 2100",
        "finger 5 1500 1900 2500 2000 2520 2100",
        "finger 6 1500 1900 3000 2000 3020 2100",
        "finger 7 1500 1900 3500 2000 3520 2100",
        "pen 10 2000 2800 1000 3000 3000 3200 pressure=300 color=20 barrel=1 tiltx=10 tilty=-5 rotation=90",
    };
    for (const char* text : Script) {
        Stroke stroke;
        QString error;
        if (parseLine(QString::fromLatin1(text).split(QLatin1Char(' ')), &stroke, &error))
            m_strokes.append(stroke);
    }
}

CVNTouchTimeline CVNTouchTimeline::quiet()
{
    CVNTouchTimeline timeline;
    timeline.m_strokes.clear();
    return timeline;
}

bool CVNTouchTimeline::parseLine(const QStringList& words, Stroke* stroke, QString* error)
{
    const bool pen = words[0] == QLatin1String("pen");
    if (words.size() < 6) {
        *error = QStringLiteral("needs %1 ID FROM TO X Y [X2 Y2] [key=value...]").arg(words[0]);
        return false;
    }
    qint64 id = 0, from = 0, to = 0, x0 = 0, y0 = 0;
    if (!(pen ? number(words[1], 10, 127, &id) : number(words[1], 0, 254, &id))) {
        *error = pen ? QStringLiteral("pen id must be 10..127") : QStringLiteral("finger id must be 0..254");
        return false;
    }
    if (!number(words[2], 0, MaxLoopMs, &from) || !number(words[3], 0, MaxLoopMs, &to) || from >= to) {
        *error = QStringLiteral("FROM and TO must be milliseconds with FROM < TO");
        return false;
    }
    if (!number(words[4], 0, MaxCoordinate, &x0) || !number(words[5], 0, MaxCoordinate, &y0)) {
        *error = QStringLiteral("X and Y must be 0..65535");
        return false;
    }
    qint64 x1 = x0, y1 = y0;
    int next = 6;
    if (words.size() > 7 && !words[6].contains(QLatin1Char('='))) {
        if (!number(words[6], 0, MaxCoordinate, &x1) || !number(words[7], 0, MaxCoordinate, &y1)) {
            *error = QStringLiteral("X2 and Y2 must be 0..65535");
            return false;
        }
        next = 8;
    }
    Stroke s;
    s.pen = pen;
    s.id = quint8(id);
    s.downMs = from;
    s.upMs = to;
    s.x0 = int(x0), s.y0 = int(y0), s.x1 = int(x1), s.y1 = int(y1);
    s.finger = defaultFinger();
    s.finger.id = s.id;
    s.tool.id = s.id;
    s.tool.pressure = FingerPressure;
    const QHash<QString, Key>& keys = pen ? penKeys() : fingerKeys();
    for (int i = next; i < words.size(); ++i) {
        const int eq = words[i].indexOf(QLatin1Char('='));
        const auto key = keys.constFind(words[i].left(eq));
        qint64 value = 0;
        if (eq < 0 || key == keys.constEnd()) {
            *error = QStringLiteral("unknown %1 key \"%2\"").arg(words[0], words[i].left(eq));
            return false;
        }
        if (!number(words[i].mid(eq + 1), key->low, key->high, &value)) {
            *error = QStringLiteral("%1 must be %2..%3").arg(words[i].left(eq)).arg(key->low).arg(key->high);
            return false;
        }
        key->apply(value, &s.finger, &s.tool);
    }
    *stroke = s;
    return true;
}

bool CVNTouchTimeline::parse(const QByteArray& text, CVNTouchTimeline* timeline, QString* error)
{
    if (text.size() > MaxScriptBytes) {
        *error = QStringLiteral("timeline longer than %1 bytes").arg(MaxScriptBytes);
        return false;
    }
    CVNTouchTimeline result = quiet();
    bool loopGiven = false;
    const QList<QByteArray> lines = text.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        QString line = QString::fromUtf8(lines[n]);
        line = line.left(line.indexOf(QLatin1Char('#'))).simplified();
        if (line.isEmpty())
            continue;
        const QStringList words = line.split(QLatin1Char(' '));
        QString why;
        if (words[0] == QLatin1String("loop") && words.size() == 2 && !loopGiven) {
            if (!number(words[1], 0, MaxLoopMs, &result.m_loopMs))
                why = QStringLiteral("loop must be 0..%1 ms").arg(MaxLoopMs);
            loopGiven = true;
        } else if (words[0] == QLatin1String("finger") || words[0] == QLatin1String("pen")) {
            Stroke stroke;
            if (result.m_strokes.size() >= MaxStrokes)
                why = QStringLiteral("more than %1 strokes").arg(MaxStrokes);
            else if (parseLine(words, &stroke, &why))
                result.m_strokes.append(stroke);
        } else {
            why = QStringLiteral("expected loop MS (once), finger ... or pen ...");
        }
        if (!why.isEmpty()) {
            *error = QStringLiteral("timeline line %1: %2").arg(n + 1).arg(why);
            return false;
        }
    }
    for (const Stroke& s : qAsConst(result.m_strokes)) {
        if (result.m_loopMs > 0 && s.upMs > result.m_loopMs) {
            *error = QStringLiteral("timeline: a stroke ends at %1 ms, after the loop of %2 ms").arg(s.upMs).arg(result.m_loopMs);
            return false;
        }
    }
    *timeline = result;
    return true;
}

qint64 CVNTouchTimeline::scriptTime(qint64 ms) const
{
    if (ms < 0)
        return 0;
    return m_loopMs == 0 ? ms : ms % m_loopMs;
}

QList<Contact> CVNTouchTimeline::contactsAt(qint64 ms) const
{
    QList<Contact> contacts;
    const qint64 t = scriptTime(ms);
    for (const Stroke& s : m_strokes) {
        if (s.pen || t < s.downMs || t >= s.upMs)
            continue;
        const qint64 along = t - s.downMs;
        const qint64 span = s.upMs - s.downMs;
        Contact c = s.finger;
        c.x = quint16(interpolate(s.x0, s.x1, along, span));
        c.y = quint16(interpolate(s.y0, s.y1, along, span));
        contacts.append(c);
    }
    return contacts;
}

QList<Pen> CVNTouchTimeline::pensAt(qint64 ms) const
{
    QList<Pen> pens;
    const qint64 t = scriptTime(ms);
    for (const Stroke& s : m_strokes) {
        if (!s.pen || t < s.downMs || t >= s.upMs)
            continue;
        const qint64 along = t - s.downMs;
        const qint64 span = s.upMs - s.downMs;
        Pen p = s.tool;
        p.x = quint16(interpolate(s.x0, s.x1, along, span));
        p.y = quint16(interpolate(s.y0, s.y1, along, span));
        pens.append(p);
    }
    return pens;
}

int CVNTouchTimeline::contactsBegunBy(qint64 ms) const
{
    if (ms < 0)
        return 0;
    int fingers = 0;
    for (const Stroke& s : m_strokes)
        fingers += s.pen ? 0 : 1;
    int begun = 0;
    qint64 t = ms;
    if (m_loopMs > 0) {
        begun = int(qMin<qint64>(ms / m_loopMs, INT_MAX / qMax(1, fingers))) * fingers;
        t = ms % m_loopMs;
    }
    for (const Stroke& s : m_strokes)
        begun += !s.pen && t >= s.downMs ? 1 : 0;
    return begun;
}

}  // namespace corvanesim
