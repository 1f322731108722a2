#include "simlimits.h"
#include "touchtimeline.h"

#include <QSet>
#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace corvanesim;

TEST(TouchTimeline, ReportLayout)
{
    const auto le16 = [](const QByteArray& bytes, int at) { return quint16(quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8)); };
    const QByteArray report =
        CVNTouchTimeline::encodeReport({{5, ContactTouching, 0x1234, 0x0456, 40}, {6, ContactTouching, 1, 2, 3}});
    ASSERT_EQ(report.size(), TouchReportSize);
    EXPECT_EQ(quint8(report[0]), TouchReportId);
    EXPECT_EQ(quint8(report[1]), 5);
    EXPECT_EQ(quint8(report[2]), ContactTouching);
    EXPECT_EQ(le16(report, 3), 0x1234);
    EXPECT_EQ(le16(report, 5), 0x0456);
    EXPECT_EQ(le16(report, 7), 40);
    EXPECT_EQ(quint8(report[9]), 6);
    EXPECT_EQ(report.mid(17), QByteArray(TouchReportSize - 17, '\0')) << "flags 0 end the list";
}

TEST(TouchTimeline, FingersGoDownMoveLiftAndLoop)
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
    EXPECT_TRUE(timeline.contactsAt(2500).isEmpty()) << "idle gap";
    EXPECT_EQ(timeline.contactsAt(500 + CVNTouchTimeline::LoopMs).size(), 2);
    for (qint64 t = 0; t < CVNTouchTimeline::LoopMs; t += 50) {
        for (const Contact& c : timeline.contactsAt(t))
            EXPECT_TRUE(c.flags == ContactTouching && c.x <= 4095 && c.y <= 4095) << t;
    }
    // Seven contacts at once, with distinct ids, all in the report.
    const QList<Contact> seven = timeline.contactsAt(1700);
    ASSERT_EQ(seven.size(), 7);
    QSet<int> ids;
    for (const Contact& c : seven)
        ids.insert(c.id);
    EXPECT_EQ(ids.size(), 7);
    const QByteArray report = timeline.reportAt(1700);
    EXPECT_NE(quint8(report[1 + 6 * TouchRecordSize + 1]), 0);
    EXPECT_EQ(quint8(report[1 + 7 * TouchRecordSize + 1]), 0);
    EXPECT_EQ(timeline.contactsBegunBy(0), 0);
    EXPECT_EQ(timeline.contactsBegunBy(2000), 9);
    EXPECT_EQ(timeline.contactsBegunBy(CVNTouchTimeline::LoopMs + 500), 11);
}
