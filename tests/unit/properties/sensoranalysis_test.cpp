// The pure parts of the sensor properties: the frame picture, the cell mask
// layout, the line analyses of the grid test and the foil health test, the
// blob and shield tables, and frame info texts.
#include "properties/cellmask.h"
#include "properties/devicepropertyblobrejection.h"
#include "properties/framegeometry.h"
#include "properties/framepng.h"
#include "properties/lineanalysis.h"
#include "properties/shieldtables.h"

#include "foilmodel.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

using corvanesim::CVNFoilModel;

namespace
{

QByteArray ramp(int width, int height)
{
    QByteArray cells(width * height, '\0');
    for (int i = 0; i < cells.size(); ++i)
        cells[i] = char((i * 37 + i / width * 11) & 0xFF);
    return cells;
}

QByteArray rawFrame(const CVNFoilModel& foil, int width, int height, quint32 number, int gain = 0)
{
    CVNFoilModel::Conditions c;
    c.width = width;
    c.height = height;
    c.mode = CVNFoilModel::Mode::Raw;
    c.gain = gain;
    return foil.frame(c, number);
}

QVector<int> v(std::initializer_list<int> numbers)
{
    return QVector<int>(numbers);
}

} // namespace

TEST(FramePng, DecodesToFourTimesTheGridWithEachCellsGrey)
{
    for (const QSize& size : {QSize(168, 96), QSize(56, 32), QSize(1, 1), QSize(7, 3)}) {
        const QByteArray cells = ramp(size.width(), size.height());
        const QImage image = QImage::fromData(CVNFramePng::encode(cells, size.width(), size.height()), "PNG");
        ASSERT_EQ(image.size(), size * 4) << size.width();
        const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < grey.height(); ++y) {
            const uchar* line = grey.constScanLine(y);
            for (int x = 0; x < grey.width(); ++x)
                ASSERT_EQ(line[x], uchar(cells.at((y / 4) * size.width() + x / 4))) << x << "," << y;
        }
    }
}

TEST(FramePng, RefusesSizesTheBytesDoNotHold)
{
    EXPECT_TRUE(CVNFramePng::encode(QByteArray(10, 'a'), 0, 10).isEmpty());
    EXPECT_TRUE(CVNFramePng::encode(QByteArray(10, 'a'), 4, 3).isEmpty());
    EXPECT_TRUE(CVNFramePng::encode(QByteArray(10, 'a'), -2, -5).isEmpty());
    EXPECT_TRUE(CVNFramePng::encode(QByteArray(70000, 'a'), 70000, 1).isEmpty());
    // The checksum of an image end chunk, as every PNG file carries it.
    EXPECT_EQ(CVNFramePng::crc32("IEND", 4), 0xAE426082u);
}

TEST(CellMask, PacksLeastSignificantBitFirstAndClipsToTheGrid)
{
    CVNCellMask mask(168, 96);
    EXPECT_EQ(mask.toBytes().size(), 2016);
    mask.setAll(false);
    mask.setEnabled(9, 0, true); // cell 9 is bit 1 of byte 1
    EXPECT_EQ(quint8(mask.toBytes().at(1)), 0x02);
    mask.setEnabled(200, 3, true);
    mask.setEnabled(-1, 0, true);
    EXPECT_EQ(mask.toBytes().count('\0'), 2015);

    mask.setRect(QRect(160, 90, 100, 100), true); // reaches over the edge
    EXPECT_EQ(mask.state(QRect(160, 90, 8, 6)), CVNCellMask::Enabled);
    EXPECT_EQ(mask.state(QRect(159, 90, 9, 6)), CVNCellMask::Mixed);
    EXPECT_EQ(mask.rowState(0), CVNCellMask::Mixed);
    EXPECT_EQ(mask.rowState(1), CVNCellMask::Disabled);

    // 10 cells: the bits beyond the last cell are dropped on the way in.
    const CVNCellMask small = CVNCellMask::fromBytes(5, 2, QByteArray("\xff\xff", 2));
    EXPECT_EQ(small.toBytes(), QByteArray("\xff\x03", 2));
    const CVNCellMask shortBytes = CVNCellMask::fromBytes(5, 2, QByteArray("\x01", 1));
    EXPECT_TRUE(shortBytes.isEnabled(0, 0));
    EXPECT_FALSE(shortBytes.isEnabled(4, 1));
    EXPECT_TRUE(CVNCellMask(0, 5).isEmpty());
    EXPECT_TRUE(CVNCellMask(5000, 5000).isEmpty());
}

TEST(GridAnalysis, HealthyFoilFramesShowNoDamage)
{
    CVNFoilModel foil;
    for (const QSize& size : {QSize(168, 96), QSize(84, 48), QSize(56, 32)}) {
        for (quint32 n = 0; n < 40; ++n) {
            const CVNLineAnalysis a = CVNLineAnalysis::ofFrame(rawFrame(foil, size.width(), size.height(), n),
                                                               size.width(), size.height());
            ASSERT_TRUE(a.damagedColumns().isEmpty()) << size.width() << " frame " << n;
            ASSERT_TRUE(a.damagedRows().isEmpty()) << size.width() << " frame " << n;
        }
    }
}

TEST(GridAnalysis, FindsTheDamageOfTheFoilModel)
{
    struct Case {
        const char* name;
        QVector<int> deadColumns, brokenRows, shortedRows;
        QVector<int> columns, rows;
    };
    const Case cases[] = {
        {"dead column and broken row", v({60}), v({5}), {}, v({60}), v({5})},
        {"first and last column", v({0, 167}), {}, {}, v({0, 167}), {}},
        {"two broken rows", {}, v({0, 95}), {}, {}, v({0, 95})},
        {"rows shorted together", {}, {}, v({40}), {}, v({40, 41})},
    };
    for (const Case& c : cases) {
        CVNFoilModel foil;
        foil.damage().deadColumns = QSet<int>(c.deadColumns.begin(), c.deadColumns.end());
        foil.damage().brokenRows = QSet<int>(c.brokenRows.begin(), c.brokenRows.end());
        foil.damage().shortedRows = QSet<int>(c.shortedRows.begin(), c.shortedRows.end());
        for (quint32 n = 0; n < 10; ++n) {
            const CVNLineAnalysis a = CVNLineAnalysis::ofFrame(rawFrame(foil, 168, 96, n), 168, 96);
            EXPECT_EQ(a.damagedColumns(), c.columns) << c.name;
            EXPECT_EQ(a.damagedRows(), c.rows) << c.name;
        }
    }
}

TEST(GridAnalysis, ColumnRules)
{
    // Flat noise-free frames built column by column: mean and spread per column.
    const int w = 12;
    const int h = 20;
    auto frameOf = [&](const std::function<int(int x, int y)>& value) {
        QByteArray f(w * h, '\0');
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                f[y * w + x] = char(value(x, y));
        return f;
    };
    // Horizontal texture keeps the rows sound: odd columns 30 higher.
    auto texture = [](int x, int y) { return ((x + y) % 2) * 30; };

    // A column reading about 247 beside ones reading about 55: a step of
    // more than 180 marks it and the one before as broken. Its values vary,
    // so that no single high value makes it a dead column.
    const CVNLineAnalysis step = CVNLineAnalysis::ofFrame(
        frameOf([&](int x, int y) { return x == 6 ? 240 + y % 16 : 40 + texture(x, y); }), w, h);
    EXPECT_EQ(step.damagedColumns(), v({5, 6}));

    // A column whose values spread over more than 150.
    const CVNLineAnalysis unsteady = CVNLineAnalysis::ofFrame(
        frameOf([&](int x, int y) { return x == 3 ? (y % 2 ? 20 : 200) + y : 80 + texture(x, y); }), w, h);
    EXPECT_EQ(unsteady.damagedColumns(), v({2, 3}));
    EXPECT_EQ(unsteady.columns.at(3).status, CVNLineRecord::Unsteady);

    // Dead: the mode sits at an extreme for more than a fifth of the cells.
    const CVNLineAnalysis dead
        = CVNLineAnalysis::ofFrame(frameOf([&](int x, int y) { return x == 8 ? 255 : 80 + texture(x, y); }), w, h);
    EXPECT_EQ(dead.damagedColumns(), v({8}));
    EXPECT_TRUE(dead.columns.at(8).dead);
    EXPECT_TRUE(dead.damagedRows().isEmpty());

    // A frame without any contrast: no row has horizontal texture.
    const CVNLineAnalysis flat = CVNLineAnalysis::ofFrame(frameOf([](int, int) { return 100; }), w, h);
    EXPECT_EQ(flat.damagedRows().size(), h);
}

TEST(HealthAnalysis, RunsFromTheDrivenEndAndTheSecondPass)
{
    struct Case {
        const char* name;
        std::function<bool(int x, int y)> failed;
        QVector<int> columns, rows;
    };
    const int w = 20;
    const int h = 10;
    const Case cases[] = {
        {"healthy", [](int, int) { return false; }, {}, {}},
        {"dead column and broken row", [](int x, int y) { return x == 6 || y == 5; }, v({6}), v({5})},
        {"row failed from its start over 5 cells", [](int x, int y) { return y == 2 && x < 5; }, {}, v({2})},
        {"row failed over 2 cells only", [](int x, int y) { return y == 2 && x < 2; }, {}, {}},
        {"column failed from the bottom over 3 cells", [](int x, int y) { return x == 4 && y >= 7; }, v({4}), {}},
        {"column failed over 1 cell", [](int x, int y) { return x == 4 && y == 9; }, {}, {}},
        // Three dead columns at the start make every row look cut; the second
        // pass sees they explain it.
        {"three dead columns at the start", [](int x, int) { return x < 3; }, v({0, 1, 2}), {}},
        {"two broken rows at the bottom", [](int, int y) { return y >= 8; }, {}, v({8, 9})},
        {"a cut row beyond dead columns", [](int x, int y) { return x < 2 || (y == 4 && x < 6); }, v({0, 1}), v({4})},
    };
    for (const Case& c : cases) {
        QByteArray bits((w * h + 7) / 8, '\0');
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (!c.failed(x, y))
                    bits[(y * w + x) / 8] = char(quint8(bits.at((y * w + x) / 8)) | (1u << ((y * w + x) % 8)));
        const CVNLineAnalysis a = CVNLineAnalysis::ofHealthBitmap(bits, w, h);
        EXPECT_EQ(a.damagedColumns(), c.columns) << c.name;
        EXPECT_EQ(a.damagedRows(), c.rows) << c.name;
    }
    // Bytes missing at the end count as failed cells.
    const CVNLineAnalysis cut = CVNLineAnalysis::ofHealthBitmap(QByteArray(10, char(0xFF)), w, h);
    EXPECT_EQ(cut.damagedRows(), v({4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(CVNLineAnalysis::ofHealthBitmap(QByteArray(), 0, 0).isEmpty());
    EXPECT_TRUE(CVNLineAnalysis::ofFrame(QByteArray(), 5000, 5000).isEmpty());
}

TEST(FrameGeometry, InfoTextsAndTransferLength)
{
    struct Case {
        const char* text;
        int modeIndex;
        CVNFrameGeometry::InfoResult result;
        int width, height, bytesPerCell, length;
    };
    using R = CVNFrameGeometry::InfoResult;
    const Case cases[] = {
        {"168 96 1 2", 1, R::Ok, 168, 96, 2, 4 * 2 * 4032 + 1},
        {"168 96 1 2", 0, R::Ok, 168, 96, 1, 4 * 4032 + 1},
        {"56 32 1 1", 0, R::Ok, 56, 32, 1, 4033},
        {"168 96", 0, R::Malformed, 10, 10, 1, 0},
        {"a 96 1 1", 0, R::Malformed, 10, 10, 1, 0},
        {"168 96 1 1", 5, R::Malformed, 10, 10, 1, 0},
        {"0 96 1 1", 0, R::OutOfRange, 10, 10, 1, 0},
        {"4294967295 96 1 1", 0, R::OutOfRange, 10, 10, 1, 0},
        {"1000 1000 1 1", 0, R::OutOfRange, 10, 10, 1, 0},
        {"168 96 0 1", 0, R::OutOfRange, 10, 10, 1, 0},
        // An unknown mode takes word 1, here an absurd bytes per cell.
        {"168 96 1 2", -1, R::OutOfRange, 10, 10, 1, 0},
    };
    for (const Case& c : cases) {
        CVNFrameGeometry g;
        g.width = 10;
        g.height = 10;
        EXPECT_EQ(CVNFrameGeometry::parseInfo(QString::fromLatin1(c.text), c.modeIndex, &g), c.result) << c.text;
        EXPECT_EQ(g.width, c.width) << c.text;
        EXPECT_EQ(g.height, c.height) << c.text;
        EXPECT_EQ(g.bytesPerCell, c.bytesPerCell) << c.text;
        if (c.result == R::Ok)
            EXPECT_EQ(g.transferLength(), c.length) << c.text;
    }
}

TEST(BlobTables, LevelsAndDistances)
{
    using B = DevicePropertyBlobRejection;
    const quint16 lyn2 = 0x0402;
    const quint16 vasta2 = 0x0202;
    EXPECT_EQ(B::settingsOf(lyn2, 9).major, 1500);
    EXPECT_EQ(B::settingsOf(lyn2, 9).minor, 750);
    EXPECT_EQ(B::settingsOf(lyn2, 9).threshold, 4);
    EXPECT_EQ(B::settingsOf(lyn2, 3).major, 500);
    EXPECT_EQ(B::settingsOf(lyn2, 3).threshold, 5);
    EXPECT_EQ(B::settingsOf(vasta2, 3).major, 333);
    EXPECT_EQ(B::settingsOf(vasta2, 3).minor, 333);
    EXPECT_EQ(B::settingsOf(vasta2, 42).major, 1110);
    for (int level = 1; level <= 10; ++level) {
        EXPECT_EQ(B::levelOfDistance(lyn2, B::settingsOf(lyn2, level).major), level);
        EXPECT_EQ(B::levelOfDistance(vasta2, B::settingsOf(vasta2, level).major), level);
    }
    EXPECT_EQ(B::levelOfDistance(vasta2, 50), 1);
    EXPECT_EQ(B::levelOfDistance(vasta2, 100000), 10);
    EXPECT_EQ(B::levelOfDistance(lyn2, -5000), 1);
    // Tarso55 at least 3, firmware 1 at least 2, else 4; Lyn outside 0x0402
    // and small foils at least 4.
    EXPECT_EQ(B::minimumDelay(32, 1, 0x2001, false, 0), 3);
    EXPECT_EQ(B::minimumDelay(2, 1, 0x0201, false, 0), 2);
    EXPECT_EQ(B::minimumDelay(2, 1, 0x0201, true, 0), 4);
    EXPECT_EQ(B::minimumDelay(4, 1, 0x0401, false, 0), 4);
    EXPECT_EQ(B::minimumDelay(4, 2, 0x0402, false, 0), 4);
    EXPECT_EQ(B::minimumDelay(2, 2, 0x0202, false, 7), 7);
}

TEST(ShieldTables, RowsAndCustomCombinations)
{
    using namespace CVNShieldTables;
    EXPECT_EQ(levelOf(vasta(false), 4, 2, 3, 1, false), 5);
    EXPECT_EQ(levelOf(vasta(false), 2, 0, 1, 0, true), 0);
    EXPECT_EQ(levelOf(vasta(false), 0, 0, 1, 0, false), 0);
    EXPECT_EQ(levelOf(vasta(false), 2, 0, 1, 0, false), -1);
    EXPECT_EQ(levelOf(vasta(true), 8, 4, 3, 0, false), 6);
    EXPECT_EQ(levelOf(vasta(true), 6, 3, 3, 1, false), -1);
    // Lyn: firmware character 2 follows blob rejection at level 0 in both
    // directions, 3 writes 0 but reads 4 too, any other is the TwinPoint table.
    EXPECT_EQ(lyn(QLatin1Char('2'))[0].delayFor(true), 4);
    EXPECT_EQ(lyn(QLatin1Char('3'))[0].delayFor(true), 0);
    EXPECT_EQ(levelOf(lyn(QLatin1Char('3')), 4, 0, 1, 0, true), 0);
    EXPECT_EQ(levelOf(lyn(QLatin1Char('3')), 4, 0, 1, 0, false), -1);
    EXPECT_EQ(&lyn(QLatin1Char('5')), &twinPoint());
    EXPECT_EQ(levelOf(twinPoint(), 6, 4, 3, 1, false), 5);
    EXPECT_EQ(levelOf(twinPoint(), 0, 0, 0, 0, false), -1);
}
