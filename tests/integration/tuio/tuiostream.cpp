#include "tuiostream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

namespace {

QVariant oscdumpArgument(const QString& token, QChar type)
{
    switch (type.toLatin1()) {
    case 'i':
        return token.toInt();
    case 'f':
        return token.toFloat();
    case 's':
        return token.mid(1, token.size() - 2);
    default:
        return token;
    }
}

// Splits at spaces, keeping "quoted strings" whole.
QStringList tokens(const QString& line)
{
    QStringList out;
    static const QRegularExpression pattern(QStringLiteral("\"[^\"]*\"|\\S+"));
    auto it = pattern.globalMatch(line);
    while (it.hasNext())
        out.append(it.next().captured(0));
    return out;
}

bool beginsBundle(const TuioMessage& m)
{
    return m.address == QLatin1String("/tuio2/frm")
        || (m.address.startsWith(QLatin1String("/tuio/")) && m.args.value(0).toString() == QLatin1String("source"));
}

QVariantList jsonArgs(const QJsonArray& args)
{
    QVariantList out;
    for (const QJsonValue& v : args)
        out.append(v.toVariant());
    return out;
}

QList<int> intsFrom(const QVariantList& args, int first)
{
    QList<int> out;
    for (int i = first; i < args.size(); ++i)
        out.append(args[i].toInt());
    return out;
}

struct Checker {
    TuioStreamFacts facts;
    QSet<QString> kinds;

    void violate(const QString& kind, const QString& example)
    {
        if (!kinds.contains(kind)) {
            kinds.insert(kind);
            facts.violations.append(kind + QStringLiteral(": ") + example);
        }
    }
};

// Ids that left must not come back: `present` is the id list of each frame in order.
void checkNoReturn(Checker& c, const QList<QList<int>>& frames, const QString& what)
{
    QSet<int> seen;
    QSet<int> gone;
    QSet<int> previous;
    for (const QList<int>& frame : frames) {
        const QSet<int> now(frame.begin(), frame.end());
        for (int id : previous) {
            if (!now.contains(id))
                gone.insert(id);
        }
        for (int id : now) {
            if (gone.contains(id))
                c.violate(what + QStringLiteral(" id came back"), QString::number(id));
            seen.insert(id);
        }
        previous = now;
    }
}

} // namespace

QList<TuioBundle> parseOscdump(const QString& output)
{
    QList<TuioBundle> bundles;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList t = tokens(line);
        if (t.size() < 2 || !t[1].startsWith(QLatin1Char('/')))
            continue;
        TuioMessage m;
        m.address = t[1];
        int next = 2;
        // A message without arguments has no type field on the line.
        if (t.size() > 2 && !t[2].startsWith(QLatin1Char('"')) && t[2].contains(QRegularExpression(QStringLiteral("^[ifst]+$")))) {
            m.types = t[2];
            next = 3;
        }
        for (int i = 0; i < m.types.size() && next + i < t.size(); ++i)
            m.args.append(oscdumpArgument(t[next + i], m.types[i]));
        if (bundles.isEmpty() || beginsBundle(m))
            bundles.append(TuioBundle());
        bundles.last().messages.append(m);
    }
    return bundles;
}

QList<TuioBundle> parseLiblo(const QString& output)
{
    QList<TuioBundle> bundles;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        if (!object.contains(QStringLiteral("messages")))
            continue;
        TuioBundle bundle;
        for (const QJsonValue& v : object.value(QStringLiteral("messages")).toArray()) {
            const QJsonObject m = v.toObject();
            bundle.messages.append({ m.value("path").toString(), m.value("types").toString(), jsonArgs(m.value("args").toArray()) });
        }
        bundles.append(bundle);
    }
    return bundles;
}

QList<TuioBundle> parseOscJs(const QString& output, QStringList* errors)
{
    QList<TuioBundle> bundles;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        if (object.contains(QStringLiteral("error"))) {
            errors->append(object.value(QStringLiteral("error")).toString());
            continue;
        }
        if (!object.contains(QStringLiteral("bundle")))
            continue;
        TuioBundle bundle;
        bundle.size = object.value(QStringLiteral("size")).toInt();
        for (const QJsonValue& p : object.value(QStringLiteral("bundle")).toObject().value(QStringLiteral("packets")).toArray()) {
            TuioMessage m;
            m.address = p.toObject().value(QStringLiteral("address")).toString();
            for (const QJsonValue& a : p.toObject().value(QStringLiteral("args")).toArray()) {
                const QString type = a.toObject().value(QStringLiteral("type")).toString();
                m.types += type;
                m.args.append(type == QLatin1String("t") ? QVariant(QStringLiteral("timetag")) : a.toObject().value(QStringLiteral("value")).toVariant());
            }
            bundle.messages.append(m);
        }
        bundles.append(bundle);
    }
    return bundles;
}

TuioStreamFacts checkTuioStream(const QList<TuioBundle>& bundles)
{
    Checker c;
    // TUIO 1.1 cursor frames by fseq: alive of each bundle, sets of all.
    QMap<int, QList<int>> alive;
    QMap<int, QSet<int>> sets;
    QList<int> fseqOrder;
    QList<QList<int>> cursorFrames;
    // TUIO 2.0 frames: consecutive bundles with the same frame id.
    QList<QList<int>> tuio2Frames;
    int tuio2Frame = -1;
    QSet<int> tuio2Pointers;
    bool tuio2Open = false;
    int lastFseq = -1;
    int lastFrame = 0;

    for (const TuioBundle& b : bundles) {
        if (b.messages.isEmpty()) {
            c.violate(QStringLiteral("empty bundle"), QString());
            continue;
        }
        const QString address = b.messages.first().address;
        if (address.startsWith(QLatin1String("/tuio/"))) {
            const bool cursor = address == QLatin1String("/tuio/2Dcur");
            const QString setTypes = cursor ? QStringLiteral("sifffff") : QStringLiteral("siiffffffff");
            const int n = b.messages.size();
            if (n < 3)
                c.violate(QStringLiteral("TUIO 1.1 bundle too short"), QString::number(n));
            QList<int> bundleAlive;
            int fseq = -1;
            for (int i = 0; i < n; ++i) {
                const TuioMessage& m = b.messages[i];
                const QString word = m.args.value(0).toString();
                if (m.address != address)
                    c.violate(QStringLiteral("profiles mixed in a bundle"), m.address);
                if (i == 0 && (word != QLatin1String("source") || m.types != QLatin1String("ss")))
                    c.violate(QStringLiteral("source not first"), word + ' ' + m.types);
                else if (i == 1 && (word != QLatin1String("alive") || m.types != QLatin1String("s") + QString(m.args.size() - 1, QLatin1Char('i'))))
                    c.violate(QStringLiteral("alive not second"), word + ' ' + m.types);
                else if (i == n - 1 && (word != QLatin1String("fseq") || m.types != QLatin1String("si")))
                    c.violate(QStringLiteral("fseq not last"), word + ' ' + m.types);
                else if (i > 1 && i < n - 1 && (word != QLatin1String("set") || m.types != setTypes))
                    c.violate(QStringLiteral("set expected"), word + ' ' + m.types);
                if (i == 1)
                    bundleAlive = intsFrom(m.args, 1);
                if (i == n - 1)
                    fseq = m.args.value(1).toInt();
            }
            if (fseq < lastFseq && cursor)
                c.violate(QStringLiteral("fseq went back"), QString::number(fseq));
            if (!cursor)
                continue;
            lastFseq = qMax(lastFseq, fseq);
            if (!alive.contains(fseq)) {
                alive.insert(fseq, bundleAlive);
                fseqOrder.append(fseq);
                cursorFrames.append(bundleAlive);
            } else if (alive.value(fseq) != bundleAlive && !(bundleAlive.isEmpty() && b.messages.size() == 3)) {
                c.violate(QStringLiteral("split frame without the full alive"), QString::number(fseq));
            }
            for (int i = 2; i < n - 1; ++i)
                sets[fseq].insert(b.messages[i].args.value(1).toInt());
            for (int id : bundleAlive) {
                if (!c.facts.cursorIds.contains(id))
                    c.facts.cursorIds.append(id);
            }
            c.facts.largestAlive = qMax(c.facts.largestAlive, bundleAlive.size());
            c.facts.lastCursorAliveEmpty = bundleAlive.isEmpty();
        } else if (address.startsWith(QLatin1String("/tuio2/"))) {
            const TuioMessage& frm = b.messages.first();
            if (frm.address != QLatin1String("/tuio2/frm") || frm.types != QLatin1String("itis"))
                c.violate(QStringLiteral("frm not first"), frm.address + ' ' + frm.types);
            const int frame = frm.args.value(0).toInt();
            if (tuio2Open && frame != tuio2Frame)
                c.violate(QStringLiteral("TUIO 2.0 frame left without alv"), QString::number(tuio2Frame));
            if (!tuio2Open) {
                if (frame != 0 && frame <= lastFrame)
                    c.violate(QStringLiteral("frame id went back"), QString::number(frame));
                lastFrame = frame == 0 ? lastFrame : frame;
                tuio2Pointers.clear();
            } else if (frame == tuio2Frame) {
                ++c.facts.splitFrames;
            }
            tuio2Frame = frame;
            tuio2Open = true;
            for (int i = 1; i < b.messages.size(); ++i) {
                const TuioMessage& m = b.messages[i];
                if (m.address == QLatin1String("/tuio2/ptr")) {
                    if (m.types != QLatin1String("iiiffffff"))
                        c.violate(QStringLiteral("ptr types"), m.types);
                    tuio2Pointers.insert(m.args.value(0).toInt());
                } else if (m.address == QLatin1String("/tuio2/alv")) {
                    if (i != b.messages.size() - 1 || m.types != QString(m.args.size(), QLatin1Char('i')))
                        c.violate(QStringLiteral("alv not last or not ints"), m.types);
                    const QList<int> ids = intsFrom(m.args, 0);
                    if (QSet<int>(ids.begin(), ids.end()) != tuio2Pointers)
                        c.violate(QStringLiteral("alv and ptr disagree"), QString::number(frame));
                    for (int id : ids) {
                        if (!c.facts.tuio2Ids.contains(id))
                            c.facts.tuio2Ids.append(id);
                    }
                    tuio2Frames.append(ids);
                    c.facts.lastTuio2AliveEmpty = ids.isEmpty();
                    tuio2Open = false;
                } else {
                    c.violate(QStringLiteral("unknown TUIO 2.0 message"), m.address);
                }
            }
        } else {
            c.violate(QStringLiteral("not TUIO"), address);
        }
    }
    for (int fseq : fseqOrder) {
        const QList<int> ids = alive.value(fseq);
        if (!ids.isEmpty() && sets.value(fseq) != QSet<int>(ids.begin(), ids.end()))
            c.violate(QStringLiteral("sets of a frame do not cover its alive"), QString::number(fseq));
    }
    checkNoReturn(c, cursorFrames, QStringLiteral("TUIO 1.1"));
    checkNoReturn(c, tuio2Frames, QStringLiteral("TUIO 2.0"));
    c.facts.cursorFrames = fseqOrder.size();
    c.facts.tuio2Frames = tuio2Frames.size();
    return c.facts;
}
