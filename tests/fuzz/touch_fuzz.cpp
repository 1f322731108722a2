// The touch stream's readers on hostile input: touch blocks of any size and
// content decoded and tracked over several polls, then published as JSON and
// encoded as TUIO 1.1 and 2.0 bundles; the simulator's touch scripts as a
// user could write them. Whatever the bytes, nothing may crash, no record
// may come from outside the block, tracked fingers and pens keep valid ids,
// and every bundle stays a well-formed OSC bundle.
#include "device/hidtouchreports.h"
#include "touch/touchentity.h"
#include "touch/touchentityjson.h"
#include "touch/touchrecords.h"
#include "touch/touchtracker.h"
#include "tuio/messagetuio.h"
#include "tuio/tuioclient.h"

#include "touchtimeline.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void fuzzScript(FuzzedDataProvider& data)
{
    const std::string text = data.ConsumeRemainingBytesAsString();
    corvanesim::CVNTouchTimeline timeline;
    QString error;
    if (!corvanesim::CVNTouchTimeline::parse(QByteArray::fromStdString(text), &timeline, &error)) {
        check(!error.isEmpty());
        return;
    }
    for (qint64 t : { qint64(0), qint64(123), qint64(2999), qint64(1) << 40 }) {
        for (const corvanesim::Contact& c : timeline.contactsAt(t))
            check(c.id != 0xFF);
        for (const corvanesim::Pen& p : timeline.pensAt(t))
            check(p.id >= 10 && p.id <= 127);
        check(timeline.contactsBegunBy(t) >= 0);
    }
}

void fuzzBlocks(FuzzedDataProvider& data)
{
    CVNTouchTracker tracker;
    qint64 now = 1700000000000;
    const int polls = data.ConsumeIntegralInRange(1, 8);
    for (int poll = 0; poll < polls && data.remaining_bytes() > 0; ++poll) {
        const std::string bytes = data.ConsumeRandomLengthString(4096);
        QByteArray block = QByteArray::fromStdString(bytes);
        if (data.ConsumeBool())
            block = CVNHidTouchReports::assemble(block.left(448), QByteArray::fromStdString(data.ConsumeRandomLengthString(60)));
        const CVNTouchRecords records = CVNTouchRecords::decode(block);
        const int maxContacts = block.size() / 64 * 6 + 6;
        check(records.contacts.size() <= qMin(255, maxContacts));
        check(records.pens.isEmpty() || block.size() == 500);
        now += data.ConsumeIntegralInRange(0, 2000);
        tracker.update(records, now);
        for (const TouchEntity* e : tracker.entities()) {
            check(e->isAlive());
            if (e->kind() == TouchEntity::FingerKind)
                check(e->deviceId() >= 0 && e->deviceId() < 255);
            if (e->kind() == TouchEntity::PenKind)
                check(e->deviceId() >= 10 && e->deviceId() <= 127);
        }
        (void)CVNTouchEntityJson::toJson(tracker.entities());
        QVector<TuioPoint> points;
        for (const TouchEntity* e : tracker.entities()) {
            TuioPoint p;
            p.sessionId = e->identifier();
            const QPointF xy = TuioClient::normalise(e->publishedPosition(), QSize(4095, 4095), poll % 4);
            p.x = float(xy.x());
            p.y = float(xy.y());
            points.append(p);
        }
        for (const QByteArray& bundle : MessageTuioV1Touch(QStringLiteral("fuzz")).bundles(points, poll))
            check(bundle.startsWith(QByteArray("#bundle\0", 8)) && bundle.size() % 4 == 0);
        for (const QByteArray& bundle : MessageTuioV2(QStringLiteral("fuzz")).bundles(points, MessageTuioV2::Frame()))
            check(bundle.startsWith(QByteArray("#bundle\0", 8)) && bundle.size() % 4 == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static const bool quiet = (qInstallMessageHandler(quietHandler), true);
    (void)quiet;
    FuzzedDataProvider data(bytes, size);
    if (data.ConsumeBool())
        fuzzScript(data);
    else
        fuzzBlocks(data);
    return 0;
}
