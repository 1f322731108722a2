// The live frame picture: a 168 x 96 frame turned into a grey PNG four
// times its size and Base64 text, by the service's encoder and, beside it in
// the same run, by the straightforward pipeline (QImage scaled without
// smoothing, QImage::save as PNG into memory, toBase64). Both pictures are
// decoded first and must hold the same pixels; at the end the speed-up is
// printed and the program fails when it is below 1.5.
#include "properties/framepng.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int Width = 168;
constexpr int Height = 96;
constexpr double RequiredSpeedUp = 1.5;

// A raw frame as a healthy foil gives it: a floor with noise and a finger.
QByteArray sampleFrame()
{
    QByteArray cells(Width * Height, '\0');
    quint32 state = 12345;
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int dx = x - 84;
            const int dy = y - 48;
            const int finger = dx * dx + dy * dy < 9 ? 60 : 0;
            cells[y * Width + x] = char(70 + (state >> 24) % 60 + finger);
        }
    }
    return cells;
}

QByteArray straightforward(const QByteArray& cells)
{
    const QImage frame(reinterpret_cast<const uchar*>(cells.constData()), Width, Height, Width,
                       QImage::Format_Grayscale8);
    const QImage scaled = frame.scaled(Width * 4, Height * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    scaled.save(&buffer, "PNG");
    return png.toBase64();
}

QImage decoded(const QByteArray& base64)
{
    return QImage::fromData(QByteArray::fromBase64(base64), "PNG").convertToFormat(QImage::Format_Grayscale8);
}

void BM_ServiceEncoder(benchmark::State& state)
{
    const QByteArray cells = sampleFrame();
    for (auto _ : state)
        benchmark::DoNotOptimize(CVNFramePng::encodeBase64(cells, Width, Height));
    state.SetBytesProcessed(state.iterations() * cells.size());
}
BENCHMARK(BM_ServiceEncoder)->Unit(benchmark::kMicrosecond);

void BM_QImagePipeline(benchmark::State& state)
{
    const QByteArray cells = sampleFrame();
    for (auto _ : state)
        benchmark::DoNotOptimize(straightforward(cells));
    state.SetBytesProcessed(state.iterations() * cells.size());
}
BENCHMARK(BM_QImagePipeline)->Unit(benchmark::kMicrosecond);

// Keeps the processor time per iteration of every run for the comparison
// (steadier than wall time on a busy machine).
class TimingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                perIteration[run.benchmark_name()] = run.cpu_accumulated_time / double(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> perIteration;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray cells = sampleFrame();
    const QImage ours = decoded(CVNFramePng::encodeBase64(cells, Width, Height));
    const QImage theirs = decoded(straightforward(cells));
    if (ours.isNull() || ours.size() != QSize(Width * 4, Height * 4) || ours != theirs) {
        std::fprintf(stderr, "the two pictures differ after decoding\n");
        return 1;
    }
    std::printf("same %dx%d picture from both pipelines\n", ours.width(), ours.height());

    benchmark::Initialize(&argc, argv);
    TimingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double service = reporter.perIteration["BM_ServiceEncoder"];
    const double qimage = reporter.perIteration["BM_QImagePipeline"];
    if (service <= 0 || qimage <= 0)
        return 0; // filtered run: nothing to compare
    const double speedUp = qimage / service;
    std::printf("frame -> PNG -> Base64 %dx%d: service %.1f us, QImage pipeline %.1f us, speed-up %.2fx (at least %.1fx)\n",
                Width, Height, service * 1e6, qimage * 1e6, speedUp, RequiredSpeedUp);
    return speedUp >= RequiredSpeedUp ? 0 : 2;
}
