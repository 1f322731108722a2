#include "simlimits.h"
#include "touchreports.h"
#include "touchsurface.h"
#include "touchtimeline.h"

#include <QSet>
#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace corvanesim;

namespace {

quint16 le16(const QByteArray& bytes, int at)
{
    return quint16(quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8));
}

QList<Contact> fingers(int count)
{
    QList<Contact> list;
    for (int i = 0; i < count; ++i) {
        Contact c;
        c.id = quint8(i);
        c.flags = ContactTouching;
        c.x = quint16(100 + i);
        c.y = quint16(0x1234);
        c.width = 7;
        c.height = 9;
        c.pressure = quint16(0x0300 + i);
        list.append(c);
    }
    return list;
}

}  // namespace

TEST(TouchReports, LayoutOfContactsCountAndFlags)
{
    struct Case {
        int fingers;
        int reports;
    };
    for (const Case c : {Case{0, 1}, Case{6, 2}, Case{7, 2}, Case{60, 11}, Case{300, 43}}) {
        const QList<QByteArray> reports = CVNTouchReports::encodeTouchReports(fingers(c.fingers), c.fingers == 7);
        ASSERT_EQ(reports.size(), c.reports) << c.fingers;
        EXPECT_EQ(quint8(reports[0][TouchCountOffset]), qMin(c.fingers, 255)) << c.fingers;
        EXPECT_EQ(quint8(reports[0][TouchFlagsOffset]), c.fingers == 7 ? 3 : 1) << c.fingers;
        for (int r = 0; r < reports.size(); ++r) {
            EXPECT_EQ(reports[r].size(), TouchInputReportSize);
            EXPECT_EQ(quint8(reports[r][0]), TouchInputReportId);
            if (r > 0)
                EXPECT_EQ(quint8(reports[r][TouchCountOffset]), 0) << "count in the first report only";
        }
    }
    const QList<QByteArray> seven = CVNTouchReports::encodeTouchReports(fingers(7), false);
    // Second report: finger 6 in slot 0, the other slots empty (id 0xFF).
    const QByteArray& second = seven[1];
    EXPECT_EQ(quint8(second[1]), ContactTouching);
    EXPECT_EQ(quint8(second[2]), 6);
    EXPECT_EQ(le16(second, 3), 106);
    EXPECT_EQ(le16(second, 5), 0x1234);
    EXPECT_EQ(quint8(second[7]), 7);
    EXPECT_EQ(quint8(second[8]), 9);
    EXPECT_EQ(le16(second, 9), 0x0306);
    for (int k = 1; k < 6; ++k)
        EXPECT_EQ(quint8(second[1 + 10 * k + 1]), 0xFF) << k;
}

TEST(TouchReports, PenReportLayout)
{
    Pen p;
    p.id = 12;
    p.state = PenBarrel | PenEraser;
    p.x = 0x0102;
    p.y = 0x0304;
    p.pressure = 700;
    p.tiltX = -3;
    p.tiltY = 4;
    p.rotation = 270;
    p.color = 139;
    const QByteArray report = CVNTouchReports::encodePenReport({p, p, p, p, p});
    ASSERT_EQ(report.size(), PenInputReportSize);
    EXPECT_EQ(quint8(report[0]), PenInputReportId);
    const QByteArray r = report.mid(1 + 3 * PenRecordSize, PenRecordSize);  // the fourth; a fifth is left out
    EXPECT_EQ(quint8(r[0]), 12);
    EXPECT_EQ(quint8(r[1]), 0x0A);
    EXPECT_EQ(le16(r, 2), 0x0102);
    EXPECT_EQ(le16(r, 4), 0x0304);
    EXPECT_EQ(le16(r, 6), 700);
    EXPECT_EQ(qint8(r[8]), -3);
    EXPECT_EQ(qint8(r[9]), 4);
    EXPECT_EQ(le16(r, 10), 270);
    EXPECT_EQ(quint8(r[12]), 139);
}

TEST(TouchReports, HostReadsOneFrameReportByReport)
{
    CVNTouchReports reports;
    int snapshots = 0;
    QList<Contact> now = fingers(8);
    const auto source = [&] {
        ++snapshots;
        return CVNTouchReports::Frame{now, {}};
    };
    const QByteArray first = reports.read(TouchInputReportId, 64, 0, source).data;
    EXPECT_EQ(quint8(first[TouchCountOffset]), 8);
    now = fingers(1);  // the sensor changes while the frame is read
    const QByteArray second = reports.read(TouchInputReportId, 64, 5, source).data;
    EXPECT_EQ(quint8(second[2]), 6) << "the continuation of the frame taken first";
    EXPECT_EQ(snapshots, 1);
    EXPECT_EQ(quint8(reports.read(TouchInputReportId, 64, 10, source).data[TouchCountOffset]), 1);
    EXPECT_EQ(snapshots, 2);

    // A frame left half read goes stale; the next read starts a new one.
    now = fingers(8);
    (void)reports.read(TouchInputReportId, 64, 100, source);
    EXPECT_EQ(quint8(reports.read(TouchInputReportId, 64, 100 + CVNTouchReports::StaleMs + 1, source).data[TouchCountOffset]), 8);
    EXPECT_EQ(reports.read(99, 64, 0, source).status, TransferResult::Status::Fail);
}

TEST(TouchSurface, ClientTouchesJoinAndOverrideTheTimeline)
{
    CVNTouchSurface surface;
    surface.setTimeline(CVNTouchTimeline::quiet());
    EXPECT_TRUE(surface.fingersAt(500).isEmpty());
    surface.putFinger(3, 10, 20, 0);
    surface.putFinger(3, 11, 21, 40);  // moved, not a second finger
    surface.putPen(10, 5, 6, 100);
    ASSERT_EQ(surface.fingersAt(0).size(), 1);
    EXPECT_EQ(surface.fingersAt(0)[0].x, 11);
    EXPECT_EQ(surface.fingersAt(0)[0].pressure, 40);
    EXPECT_EQ(surface.fingersBegunBy(0), 1);
    EXPECT_EQ(surface.pensAt(0).size(), 1);
    EXPECT_TRUE(surface.lift(3));
    EXPECT_FALSE(surface.lift(3));
    EXPECT_TRUE(surface.fingersAt(0).isEmpty());
    EXPECT_EQ(surface.pensAt(0).size(), 1) << "only finger 3 was lifted";
    for (int id = 0; id < 255; ++id)
        surface.putFinger(quint8(id), 1, 1, 1);
    for (int id = 10; id < 20; ++id)
        surface.putPen(quint8(id), 1, 1, 1);
    EXPECT_EQ(surface.fingersAt(0).size(), CVNTouchSurface::MaxFingers);
    EXPECT_EQ(surface.pensAt(0).size(), CVNTouchSurface::MaxPens);
    surface.liftAll();
    EXPECT_TRUE(surface.fingersAt(0).isEmpty() && surface.pensAt(0).isEmpty());

    // Over the built-in timeline a client's finger 1 takes the script's place.
    CVNTouchSurface scripted;
    scripted.putFinger(1, 7, 7, 7);
    const QList<Contact> at500 = scripted.fingersAt(500);
    ASSERT_EQ(at500.size(), 2);
    EXPECT_EQ(at500[0].x, 7);
}

TEST(TouchTimeline, BuiltInFingersGoDownMoveLiftAndLoopThenAPenDraws)
{
    CVNTouchTimeline timeline;
    EXPECT_TRUE(timeline.contactsAt(0).isEmpty());
    const QList<Contact> early = timeline.contactsAt(500);
    const QList<Contact> later = timeline.contactsAt(1000);
    ASSERT_EQ(early.size(), 2);
    ASSERT_EQ(later.size(), 2);
    EXPECT_EQ(early[0].id, later[0].id);
    EXPECT_NE(early[0].x, later[0].x) << "the finger moves";
    EXPECT_TRUE(timeline.contactsAt(1300).isEmpty()) << "lifted";
    EXPECT_TRUE(timeline.contactsAt(2900).isEmpty()) << "idle gap";
    EXPECT_EQ(timeline.contactsAt(500 + CVNTouchTimeline::LoopMs).size(), 2);
    for (qint64 t = 0; t < CVNTouchTimeline::LoopMs; t += 50) {
        for (const Contact& c : timeline.contactsAt(t))
            EXPECT_TRUE(c.flags == ContactTouching && c.x <= 4095 && c.y <= 4095 && c.pressure > 0) << t;
    }
    const QList<Contact> seven = timeline.contactsAt(1700);
    ASSERT_EQ(seven.size(), 7);
    QSet<int> ids;
    for (const Contact& c : seven)
        ids.insert(c.id);
    EXPECT_EQ(ids.size(), 7);
    EXPECT_EQ(timeline.contactsBegunBy(0), 0);
    EXPECT_EQ(timeline.contactsBegunBy(2000), 9);
    EXPECT_EQ(timeline.contactsBegunBy(CVNTouchTimeline::LoopMs + 500), 11);

    EXPECT_TRUE(timeline.pensAt(1000).isEmpty());
    const QList<Pen> pens = timeline.pensAt(2400);
    ASSERT_EQ(pens.size(), 1);
    EXPECT_EQ(pens[0].id, 10);
    EXPECT_EQ(pens[0].state, PenBarrel);
    EXPECT_EQ(pens[0].color, 20);
    EXPECT_EQ(pens[0].tiltY, -5);
    EXPECT_NE(pens[0].x, timeline.pensAt(2100)[0].x) << "the pen moves";
}

TEST(TouchTimeline, ScriptFromText)
{
    CVNTouchTimeline timeline;
    QString error;
    ASSERT_TRUE(CVNTouchTimeline::parse("# a finger that moves and lifts, then a pen\n"
                                        "loop 0\n"
                                        "finger 4 0 100 0 0 1000 2000 pressure=90 width=3 height=4 # comment\n"
                                        "\n"
                                        "pen 11 50 150 10 20 eraser=1 color=139 rotation=45\n",
                                        &timeline, &error))
        << error.toStdString();
    EXPECT_EQ(timeline.loopMs(), 0);
    ASSERT_EQ(timeline.contactsAt(50).size(), 1);
    const Contact c = timeline.contactsAt(50)[0];
    EXPECT_EQ(c.id, 4);
    EXPECT_EQ(c.x, 500);
    EXPECT_EQ(c.y, 1000);
    EXPECT_EQ(c.pressure, 90);
    EXPECT_EQ(c.width, 3);
    EXPECT_EQ(c.height, 4);
    ASSERT_EQ(timeline.pensAt(120).size(), 1);
    EXPECT_EQ(timeline.pensAt(120)[0].state, PenEraser);
    EXPECT_TRUE(timeline.contactsAt(100 + 5000).isEmpty()) << "played once";
    EXPECT_EQ(timeline.contactsBegunBy(99999), 1);

    struct Bad {
        const char* text;
        const char* error;
    };
    for (const Bad& bad : {
             Bad{"finger 255 0 10 1 1", "line 1: finger id must be 0..254"},
             Bad{"\npen 9 0 10 1 1", "line 2: pen id must be 10..127"},
             Bad{"finger 1 10 10 1 1", "FROM and TO"},
             Bad{"finger 1 0 10 1 70000", "X and Y"},
             Bad{"finger 1 0 10 1 1 2", "unknown finger key \"2\""},
             Bad{"finger 1 0 10 1 1 colour=3", "unknown finger key \"colour\""},
             Bad{"pen 10 0 10 1 1 tiltx=200", "tiltx must be -128..127"},
             Bad{"loop 100\nfinger 1 0 200 1 1", "ends at 200 ms, after the loop of 100 ms"},
             Bad{"loop 1\nloop 2", "line 2"},
             Bad{"object a 201 1 1", "line 1: expected"},
         }) {
        CVNTouchTimeline untouched;
        EXPECT_FALSE(CVNTouchTimeline::parse(bad.text, &untouched, &error)) << bad.text;
        EXPECT_TRUE(error.contains(QLatin1String(bad.error))) << bad.text << " -> " << error.toStdString();
        EXPECT_EQ(untouched.contactsAt(500).size(), 2) << "a refused script changes nothing";
    }
    EXPECT_FALSE(CVNTouchTimeline::parse(QByteArray(CVNTouchTimeline::MaxScriptBytes + 1, '#'), &timeline, &error));
}
