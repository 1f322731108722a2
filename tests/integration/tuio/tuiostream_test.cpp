// The stream rules themselves: streams that break them are caught, so that
// a passing decoder test means something.
#include "tuiostream.h"

#include <gtest/gtest.h>

namespace {

TuioMessage cur(const QVariantList& args, const QString& types)
{
    return {QStringLiteral("/tuio/2Dcur"), types, args};
}

TuioBundle cursorBundle(const QList<int>& alive, const QList<int>& sets, int fseq)
{
    TuioBundle b;
    b.messages.append(cur({"source", "s"}, "ss"));
    QVariantList aliveArgs{"alive"};
    for (int id : alive)
        aliveArgs.append(id);
    b.messages.append(cur(aliveArgs, "s" + QString(alive.size(), 'i')));
    for (int id : sets)
        b.messages.append(cur({"set", id, 0.f, 0.f, 0.f, 0.f, 0.f}, "sifffff"));
    b.messages.append(cur({"fseq", fseq}, "si"));
    return b;
}

TuioBundle tuio2(int frame, const QList<int>& pointers, bool withAlive, const QList<int>& alive)
{
    TuioBundle b;
    b.messages.append({"/tuio2/frm", "itis", {frame, "timetag", 0, "s"}});
    for (int id : pointers)
        b.messages.append({"/tuio2/ptr", "iiiffffff", {id, 1, 0, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f}});
    if (withAlive) {
        QVariantList args;
        for (int id : alive)
            args.append(id);
        b.messages.append({"/tuio2/alv", QString(alive.size(), 'i'), args});
    }
    return b;
}

} // namespace

TEST(TuioStreamRules, AGoodStreamPasses)
{
    const TuioStreamFacts facts = checkTuioStream({cursorBundle({1, 2}, {1}, 1), cursorBundle({1, 2}, {2}, 1),
                                                   tuio2(1, {1}, false, {}), tuio2(1, {2}, true, {1, 2}),
                                                   cursorBundle({2}, {2}, 2), cursorBundle({}, {}, 3), tuio2(0, {}, true, {})});
    EXPECT_TRUE(facts.violations.isEmpty()) << qPrintable(facts.violations.join('\n'));
    EXPECT_EQ(facts.cursorIds, QList<int>({1, 2}));
    EXPECT_EQ(facts.splitFrames, 1);
    EXPECT_TRUE(facts.lastCursorAliveEmpty && facts.lastTuio2AliveEmpty);
}

TEST(TuioStreamRules, BrokenStreamsAreCaught)
{
    struct Case {
        QList<TuioBundle> stream;
        const char* violation;
    };
    TuioBundle noSource = cursorBundle({1}, {1}, 1);
    noSource.messages.removeFirst();
    TuioBundle badTypes = cursorBundle({1}, {1}, 1);
    badTypes.messages[2].types = "siffff";
    const QList<Case> cases{
        {{noSource}, "source not first"},
        {{badTypes}, "set expected"},
        {{cursorBundle({1, 2}, {1}, 1)}, "sets of a frame do not cover its alive"},
        {{cursorBundle({1, 2}, {1}, 1), cursorBundle({1}, {2}, 1)}, "split frame without the full alive"},
        {{cursorBundle({1}, {1}, 2), cursorBundle({1}, {1}, 1)}, "fseq went back"},
        {{cursorBundle({1}, {1}, 1), cursorBundle({}, {}, 2), cursorBundle({1}, {1}, 3)}, "TUIO 1.1 id came back"},
        {{tuio2(1, {1}, true, {1}), tuio2(2, {}, false, {}), tuio2(3, {}, true, {})}, "TUIO 2.0 frame left without alv"},
        {{tuio2(1, {1}, true, {1, 2})}, "alv and ptr disagree"},
        {{tuio2(2, {}, true, {}), tuio2(1, {}, true, {})}, "frame id went back"},
    };
    for (const Case& c : cases) {
        const TuioStreamFacts facts = checkTuioStream(c.stream);
        EXPECT_TRUE(facts.violations.join('\n').contains(QLatin1String(c.violation)))
            << c.violation << " not caught: " << qPrintable(facts.violations.join('\n'));
    }
}
