// One poll of the touch stream with 20 contacts: decoding the touch block,
// tracking, and both TUIO encodings sent to a loopback receiver. Printed
// beside the decoding alone, measured in the same run; the target is at
// most 50 us per poll.
#include "touch/touchentity.h"
#include "touch/touchrecords.h"
#include "touch/touchtracker.h"
#include "tuio/tuio1client.h"
#include "tuio/tuio2client.h"

#include <QCoreApplication>
#include <QUdpSocket>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kContacts = 20;

// The 256-byte block of 20 contacts, moved a little every poll.
QByteArray block(int poll)
{
    const int reports = kContacts / 6 + 1;
    QByteArray bytes(reports * 64, '\0');
    bytes[61] = char(kContacts);
    for (int i = 0; i < kContacts; ++i) {
        const int at = (i / 6) * 64 + 1 + (i % 6) * 10;
        const int x = 100 + 150 * i + poll % 50;
        const int y = 2000 + poll % 70;
        bytes[at] = 1;
        bytes[at + 1] = char(i + 1);
        bytes[at + 2] = char(x & 0xFF);
        bytes[at + 3] = char(x >> 8);
        bytes[at + 4] = char(y & 0xFF);
        bytes[at + 5] = char(y >> 8);
        bytes[at + 6] = 20;
        bytes[at + 7] = 20;
        bytes[at + 8] = char(0xF4);
        bytes[at + 9] = 1;
    }
    return bytes;
}

void BM_DecodeOnly(benchmark::State& state)
{
    const QByteArray bytes = block(0);
    for (auto _ : state) {
        CVNTouchRecords records = CVNTouchRecords::decode(bytes);
        benchmark::DoNotOptimize(records);
    }
}
BENCHMARK(BM_DecodeOnly);

void BM_PollDecodeTrackTuio(benchmark::State& state)
{
    QUdpSocket receiver;
    receiver.bind(QHostAddress(QHostAddress::LocalHost), 0);
    CVNTouchTracker tracker;
    Tuio1Client tuio1;
    Tuio2Client tuio2;
    for (TuioClient* client : { static_cast<TuioClient*>(&tuio1), static_cast<TuioClient*>(&tuio2) }) {
        client->setSource(QStringLiteral("Vasta 0200000001A3"));
        client->setSensorSize(QSize(4095, 4095));
        client->addReceiver(QHostAddress::LocalHost, receiver.localPort());
    }
    QVector<QByteArray> blocks;
    for (int i = 0; i < 64; ++i)
        blocks.append(block(i));
    qint64 now = 1700000000000;
    int poll = 0;
    for (auto _ : state) {
        now += 30;
        tracker.update(CVNTouchRecords::decode(blocks[poll++ % blocks.size()]), now);
        tuio1.sendFrame(tracker.entities(), false, now);
        tuio2.sendFrame(tracker.entities(), false, now);
        if (poll % 64 == 0) {
            state.PauseTiming();
            while (receiver.hasPendingDatagrams())
                receiver.readDatagram(nullptr, 0);
            state.ResumeTiming();
        }
    }
    state.counters["entities"] = tracker.entities().size();
}
BENCHMARK(BM_PollDecodeTrackTuio);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("target: BM_PollDecodeTrackTuio at most 50 us per poll (20 contacts), beside BM_DecodeOnly\n");
    return 0;
}
