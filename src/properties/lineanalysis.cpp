#include "properties/lineanalysis.h"

#include "properties/sensorlimits.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace
{

bool sizeFits(int width, int height)
{
    return width > 0 && height > 0 && width <= CVNSensorLimits::MaxGridSide && height <= CVNSensorLimits::MaxGridSide
        && qint64(width) * height <= CVNSensorLimits::MaxGridCells;
}

int truncIndex(double fraction, int n)
{
    return qBound(0, int(fraction * n), n - 1);
}

// Stretches an 8-bit image so that its smallest value becomes 0 and the
// value at the given fraction of its sorted values 255.
void stretch(std::vector<quint8>& image, double fraction)
{
    if (image.empty())
        return;
    std::array<int, 256> histogram{};
    for (quint8 v : image)
        ++histogram[v];
    const int n = int(image.size());
    const int highIndex = truncIndex(fraction, n);
    int low = -1;
    int high = 0;
    int seen = 0;
    for (int v = 0; v < 256; ++v) {
        if (histogram[v] == 0)
            continue;
        if (low < 0)
            low = v;
        seen += histogram[v];
        if (seen > highIndex) {
            high = v;
            break;
        }
    }
    for (quint8& v : image) {
        // A picture without contrast: nothing stands out.
        if (high <= low)
            v = v > low ? 255 : 0;
        else
            v = quint8(qBound(0, (int(v) - low) * 255 / (high - low), 255));
    }
}

// The value at the fraction of the sorted values.
int percentile(const std::vector<int>& sorted, double fraction)
{
    return sorted.at(size_t(truncIndex(fraction, int(sorted.size()))));
}

QVector<int> damaged(const QVector<CVNLineRecord>& records)
{
    QVector<int> result;
    for (int i = 0; i < records.size(); ++i) {
        if (records.at(i).status != CVNLineRecord::Sound)
            result.append(i);
    }
    return result;
}

struct Frame
{
    int width;
    int height;
    std::vector<quint8> cells;
    int at(int x, int y) const { return cells[size_t(y) * width + x]; }
};

void findDeadColumns(const Frame& f, QVector<CVNLineRecord>& columns)
{
    const int deadCount = int(0.2 * f.height);
    for (int x = 0; x < f.width; ++x) {
        std::array<int, 256> histogram{};
        int mode = 0;
        int modeCount = 0;
        for (int y = 0; y < f.height; ++y) {
            const int v = f.at(x, y);
            if (++histogram[v] > modeCount) {
                mode = v;
                modeCount = histogram[v];
            }
        }
        CVNLineRecord& record = columns[x];
        record.mode = mode;
        if ((mode <= CVNLineAnalysis::DeadLow || mode >= CVNLineAnalysis::DeadHigh) && modeCount > deadCount) {
            record.dead = true;
            record.status = CVNLineRecord::Dead;
        }
    }
}

void analyseRows(const Frame& f, const std::vector<int>& usable, const std::vector<quint8>& vertical,
                 const std::vector<quint8>& horizontal, QVector<CVNLineRecord>& rows)
{
    std::vector<int> verticalAverage(size_t(f.height), 0);
    for (int y = 0; y < f.height; ++y) {
        CVNLineRecord& record = rows[y];
        if (usable.empty()) {
            record.spread = 255;
        } else {
            long long hSum = 0;
            long long vSum = 0;
            std::vector<int> sorted;
            sorted.reserve(usable.size());
            for (int x : usable) {
                const size_t i = size_t(y) * f.width + x;
                hSum += horizontal[i];
                vSum += vertical[i];
                sorted.push_back(vertical[i]);
            }
            const int count = int(usable.size());
            record.mean = int(qMin<long long>(255, hSum / count));
            verticalAverage[size_t(y)] = int(qMin<long long>(255, vSum / count));
            std::sort(sorted.begin(), sorted.end());
            record.spread = quint8(percentile(sorted, 0.9) - percentile(sorted, 0.05));
        }
        if (record.mean < CVNLineAnalysis::FlatRowAverage)
            record.status = CVNLineRecord::Broken;
    }
    for (int y = 1; y + 1 < f.height; ++y) {
        if (rows[y].status != CVNLineRecord::Sound)
            continue;
        const double own = 2.5 * verticalAverage[size_t(y)];
        if (verticalAverage[size_t(y - 1)] > own && verticalAverage[size_t(y + 1)] > own) {
            rows[y].status = CVNLineRecord::Alike;
            rows[y - 1].status = CVNLineRecord::Alike;
        }
    }
}

void analyseColumns(const Frame& f, const QVector<CVNLineRecord>& rows, QVector<CVNLineRecord>& columns)
{
    std::vector<int> values;
    for (int x = 0; x < f.width; ++x) {
        values.clear();
        for (int y = 0; y < f.height; ++y) {
            if (rows[y].status == CVNLineRecord::Sound)
                values.push_back(f.at(x, y));
        }
        CVNLineRecord& record = columns[x];
        if (values.empty()) {
            record.mean = 0;
            record.spread = 255;
            continue;
        }
        long long sum = 0;
        for (int v : values)
            sum += v;
        record.mean = int(sum / qint64(values.size()));
        std::sort(values.begin(), values.end());
        record.spread = quint8(percentile(values, 0.9) - percentile(values, 0.1));
    }

    std::vector<int> sequence;
    for (int x = 0; x < f.width; ++x) {
        if (!columns[x].dead)
            sequence.push_back(x);
    }
    for (size_t j = 1; j + 1 < sequence.size(); ++j) {
        const int before = sequence[j - 1];
        const int i = sequence[j];
        const int after = sequence[j + 1];
        const int d = columns[after].mean - columns[before].mean;
        if (columns[i].mean - columns[before].mean > CVNLineAnalysis::ColumnStep) {
            columns[i].status = CVNLineRecord::Broken;
            columns[before].status = CVNLineRecord::Broken;
        }
        if (d < -CVNLineAnalysis::ColumnStep && columns[i].spread < CVNLineAnalysis::SteadySpread)
            columns[i].status = CVNLineRecord::Alike;
        if (d > CVNLineAnalysis::ColumnStep && columns[i].spread < CVNLineAnalysis::SteadySpread) {
            columns[before].status = CVNLineRecord::Broken;
            columns[i].status = CVNLineRecord::Broken;
            columns[after].status = CVNLineRecord::Broken;
        }
        if (columns[i].spread > CVNLineAnalysis::UnsteadySpread) {
            columns[i].status = CVNLineRecord::Unsteady;
            columns[before].status = CVNLineRecord::Unsteady;
        }
    }
}

} // namespace

QVector<int> CVNLineAnalysis::damagedRows() const
{
    return damaged(rows);
}

QVector<int> CVNLineAnalysis::damagedColumns() const
{
    return damaged(columns);
}

CVNLineAnalysis CVNLineAnalysis::ofFrame(const QByteArray& bytes, int width, int height)
{
    CVNLineAnalysis analysis;
    if (!sizeFits(width, height))
        return analysis;
    Frame f{width, height, std::vector<quint8>(size_t(width) * height, 0)};
    std::copy_n(reinterpret_cast<const quint8*>(bytes.constData()), qMin<size_t>(f.cells.size(), size_t(bytes.size())),
                f.cells.begin());
    analysis.rows.resize(height);
    analysis.columns.resize(width);

    findDeadColumns(f, analysis.columns);

    std::vector<quint8> vertical(f.cells.size(), 0);
    std::vector<quint8> horizontal(f.cells.size(), 0);
    std::vector<int> usable;
    for (int x = 0; x < width; ++x) {
        if (analysis.columns[x].dead)
            continue;
        usable.push_back(x);
        const bool leftUsable = x > 0 && !analysis.columns[x - 1].dead;
        for (int y = 0; y < height; ++y) {
            const size_t i = size_t(y) * width + x;
            if (y > 0)
                vertical[i] = quint8(std::abs(f.at(x, y) - f.at(x, y - 1)));
            if (leftUsable)
                horizontal[i] = quint8(std::abs(f.at(x, y) - f.at(x - 1, y)));
        }
    }
    stretch(vertical, 0.95);
    stretch(horizontal, 0.9);

    analyseRows(f, usable, vertical, horizontal, analysis.rows);
    analyseColumns(f, analysis.rows, analysis.columns);
    return analysis;
}

CVNLineAnalysis CVNLineAnalysis::ofHealthBitmap(const QByteArray& bitmap, int width, int height)
{
    CVNLineAnalysis analysis;
    if (!sizeFits(width, height))
        return analysis;
    const auto failed = [&](int x, int y) {
        const int i = y * width + x;
        if (i / 8 >= bitmap.size())
            return true;
        return ((quint8(bitmap.at(i / 8)) >> (i % 8)) & 1u) == 0;
    };
    analysis.rows.resize(height);
    analysis.columns.resize(width);

    // First pass: the failed run from the driven end.
    for (int y = 0; y < height; ++y) {
        int k = 0;
        while (k < width && failed(k, y))
            ++k;
        analysis.rows[y].status = k == width ? CVNLineRecord::Broken
            : k >= 3                         ? CVNLineRecord::PartlyBroken
                                             : CVNLineRecord::Sound;
    }
    for (int x = 0; x < width; ++x) {
        int k = 0;
        while (k < height && failed(x, height - 1 - k))
            ++k;
        analysis.columns[x].status = k == height ? CVNLineRecord::Broken
            : k >= 2                             ? CVNLineRecord::PartlyBroken
                                                 : CVNLineRecord::Sound;
    }

    // Second pass: cells of crossing lines that failed as a whole explain
    // part of a run; what is left decides.
    const QVector<CVNLineRecord> firstRows = analysis.rows;
    const QVector<CVNLineRecord> firstColumns = analysis.columns;
    for (int y = 0; y < height; ++y) {
        if (firstRows[y].status != CVNLineRecord::PartlyBroken)
            continue;
        int own = 0;
        for (int x = 0; x < width && failed(x, y); ++x)
            own += firstColumns[x].status == CVNLineRecord::Broken ? 0 : 1;
        if (own < 3)
            analysis.rows[y].status = CVNLineRecord::Sound;
    }
    for (int x = 0; x < width; ++x) {
        if (firstColumns[x].status != CVNLineRecord::PartlyBroken)
            continue;
        int own = 0;
        for (int k = 0; k < height && failed(x, height - 1 - k); ++k)
            own += firstRows[height - 1 - k].status == CVNLineRecord::Broken ? 0 : 1;
        if (own < 2)
            analysis.columns[x].status = CVNLineRecord::Sound;
    }
    return analysis;
}
