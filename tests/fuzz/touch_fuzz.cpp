// The touch stream's readers on hostile input: touch blocks of any size and
// content decoded and tracked over several polls, then published as JSON and
// encoded as TUIO 1.1 and 2.0 bundles; the simulator's touch scripts as a
// user could write them; object recognition over any finger sets with any
// parameters, the finger search held against the plain enumeration. Whatever
// the bytes, nothing may crash, no record may come from outside the block,
// tracked fingers and pens keep valid ids, every bundle stays a well-formed
// OSC bundle, and both recognitions make the same objects.
#include "device/hidtouchreports.h"
#include "touch/objectparameters.h"
#include "touch/touchparameters.h"
#include "touch/touchentity.h"
#include "touch/touchentityjson.h"
#include "touch/touchrecords.h"
#include "touch/touchtracker.h"
#include "tuio/messagetuio.h"
#include "tuio/tuioclient.h"

#include "straightrecognition.h"
#include "touchtimeline.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
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

CVNObjectParameters fuzzedParameters(FuzzedDataProvider& data)
{
    CVNObjectParameters p;
    for (int k = data.ConsumeIntegralInRange(0, 4); k > 0; --k) {
        const int id = CVNObjectParameters::classIds()[data.ConsumeIntegralInRange<size_t>(0, CVNObjectParameters::ClassCount - 1)];
        p.setRange(id, data.ConsumeFloatingPoint<double>(), data.ConsumeFloatingPoint<double>());
    }
    if (data.ConsumeBool()) {
        p.baseDiff = data.ConsumeFloatingPointInRange(0.0, 400.0);
        p.setMaxDistance(1, data.ConsumeFloatingPoint<double>());
        p.setMaxDistance(2, data.ConsumeFloatingPointInRange(0.0, 70000.0));
        p.maxCapture = data.ConsumeFloatingPointInRange(0.0, 20.0);
        p.pointRejection = data.ConsumeFloatingPointInRange(0.0, 3.0);
    }
    return p;
}

void fuzzRecognition(FuzzedDataProvider& data)
{
    const int orSpec = data.ConsumeBool() ? 1 : 2;
    CVNObjectParameters::setCurrent(fuzzedParameters(data));
    CVNTouchParameters touch;
    touch.timeLockMs = data.ConsumeIntegralInRange(0, 3000);
    touch.keepAlive = data.ConsumeIntegralInRange(1, 5);
    touch.pressureThreshold = data.ConsumeIntegralInRange(0u, 600u);
    touch.pressureRejectsLocked = data.ConsumeBool();
    CVNTouchParameters::setCurrent(touch);
    // Small sets are held against the plain enumeration, larger ones only tracked.
    const bool compare = data.ConsumeBool();
    CVNTouchTracker fast;
    CVNTouchTracker straight;
    fast.setOrSpec(orSpec);
    straight.setOrSpec(orSpec);
    if (orSpec == 1) {
        fast.setProcessor(std::make_unique<TouchEntityProcessV1>());
        straight.setProcessor(std::make_unique<StraightRecognition<TouchEntityProcessV1>>());
    } else {
        fast.setProcessor(std::make_unique<TouchEntityProcessV2>());
        straight.setProcessor(std::make_unique<StraightRecognition<TouchEntityProcessV2>>());
    }
    qint64 now = 1700000000000;
    const int centre = data.ConsumeIntegral<quint16>();
    for (int poll = data.ConsumeIntegralInRange(1, 6); poll > 0 && data.remaining_bytes() > 0; --poll) {
        CVNTouchRecords records;
        for (int n = data.ConsumeIntegralInRange(0, compare ? 12 : 60); n > 0; --n) {
            CVNRawContact c;
            c.id = data.ConsumeIntegral<quint8>();
            // Mostly near one spot, so that shapes form; anywhere otherwise.
            const bool near = data.ConsumeBool();
            c.x = near ? quint16(qBound(0, centre + data.ConsumeIntegralInRange(-700, 700), 0xFFFF)) : data.ConsumeIntegral<quint16>();
            c.y = near ? quint16(qBound(0, centre + data.ConsumeIntegralInRange(-700, 700), 0xFFFF)) : data.ConsumeIntegral<quint16>();
            c.pressure = data.ConsumeIntegral<quint16>();
            records.contacts.append(c);
        }
        now += data.ConsumeIntegralInRange(0, 1500);
        fast.update(records, now);
        const QJsonArray published = CVNTouchEntityJson::toJson(fast.entities());
        for (const TouchEntity* e : fast.entities()) {
            check(e->isAlive());
            const int family = e->identifier() / 100000;
            check(e->kind() == TouchEntity::FingerKind || family == (orSpec == 1 ? 2 : 4) || family == (orSpec == 1 ? 3 : 5));
            check(std::isfinite(e->latest().rotation));
        }
        if (compare) {
            straight.update(records, now);
            check(CVNTouchEntityJson::toJson(straight.entities()) == published);
        }
    }
    CVNObjectParameters::setCurrent(CVNObjectParameters());
    CVNTouchParameters::setCurrent(CVNTouchParameters());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static const bool quiet = (qInstallMessageHandler(quietHandler), true);
    (void)quiet;
    FuzzedDataProvider data(bytes, size);
    switch (data.ConsumeIntegralInRange(0, 2)) {
    case 0:
        fuzzScript(data);
        break;
    case 1:
        fuzzBlocks(data);
        break;
    default:
        fuzzRecognition(data);
        break;
    }
    return 0;
}
