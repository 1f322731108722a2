// The simulator's calibration and border commands, as a host could send
// them: slots filled in order after a clear, refusals with their error
// texts, and the commands present only on the firmware that has them.
#include "bordersettings.h"
#include "calibrationcommands.h"
#include "calibrationzones.h"
#include "controllersetup.h"
#include "registercatalog.h"
#include "registertable.h"

#include "qstringprinter.h"

#include <QtEndian>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace corvanesim;

namespace {

QByteArray writeBlock(float m33, quint16 x, quint16 y, quint16 right, quint16 bottom)
{
    QByteArray block(64, '\0');
    std::memcpy(block.data(), "bs ", 3);
    const float matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, m33};
    for (int i = 0; i < 9; ++i)
        std::memcpy(block.data() + 3 + 4 * i, &matrix[i], 4);
    const quint16 corners[8] = {x, y, right, y, x, bottom, right, bottom};
    for (int i = 0; i < 8; ++i)
        qToLittleEndian<quint16>(corners[i], block.data() + 44 + 2 * i);
    return block;
}

QByteArray readBlock(int index)
{
    QByteArray block(64, '\0');
    std::memcpy(block.data(), "bg ", 3);
    block[42] = char(index);
    return block;
}

QString text(const QByteArray& answer)
{
    return QString::fromLatin1(answer.left(answer.indexOf('\0')));
}

}  // namespace

TEST(SimCalibrationZones, SlotsAfterAClearAndRefusals)
{
    CVNCalibrationZones zones([] { return QSize(1919, 1079); });
    EXPECT_EQ(zones.heldZones(), 4);
    EXPECT_EQ(zones.clear(QStringLiteral("x")), QStringLiteral("error: invalid argument"));
    EXPECT_EQ(zones.clear({}), QStringLiteral("ok"));
    EXPECT_EQ(zones.heldZones(), 0);

    const struct {
        QByteArray block;
        const char* refusal;
    } refused[] = {
        {writeBlock(NAN, 0, 0, 10, 10), "error: invalid value"},
        {writeBlock(1, 10, 0, 5, 10), "error: invalid value"}, // right left of x
        {writeBlock(1, 0, 0, 1920, 10), "error: out of range"},
        {QByteArray("xx ").leftJustified(64, '\0'), "error: invalid argument"},
        {readBlock(25), "error: out of range"},
    };
    for (const auto& r : refused)
        EXPECT_EQ(text(zones.matrix(r.block)), QLatin1String(r.refusal));
    QByteArray notRectangle = writeBlock(1, 0, 0, 10, 10);
    notRectangle[46] = 5; // top right y differs from top left y
    EXPECT_EQ(text(zones.matrix(notRectangle)), QStringLiteral("error: invalid value"));

    for (int i = 0; i < CVNCalibrationZones::MaxZones; ++i) {
        const QByteArray answer = zones.matrix(writeBlock(i == 1 ? 0.5f : 1.0f, quint16(i), 0, quint16(i), 1079));
        ASSERT_TRUE(answer.startsWith("bs ")) << i;
        EXPECT_EQ(answer.at(42), char(i));
    }
    EXPECT_EQ(text(zones.matrix(writeBlock(1, 0, 0, 1, 1))), QStringLiteral("error: too many zones"));
    EXPECT_EQ(zones.heldZones(), 24) << "m33 0.5 counts as absent";
    // A read echoes the marker, the index and the zone; an absent one is all zero.
    const QByteArray zone3 = zones.matrix(readBlock(3));
    EXPECT_EQ(zone3.toHex(), (writeBlock(1, 3, 0, 3, 1079).replace(0, 3, "bg ").replace(42, 1, "\x03", 1)).toHex());
    EXPECT_EQ(zones.matrix(readBlock(1)).mid(3), QByteArray(39, '\0') + '\x01' + QByteArray(21, '\0'));
}

TEST(SimBorderSettings, ArgumentsAndRanges)
{
    CVNBorderSettings b;
    const struct {
        bool snap;
        const char* argument;
        const char* answer;
    } cases[] = {
        {true, "t", "20"},        {true, "t 1000", "1000"}, {true, "l 0", "0"},
        {true, "l", "0"},         {true, "t 1001", "error: out of range"},
        {true, "t -1", "error: out of range"},            {true, "t x", "error: invalid value"},
        {true, "", "error: invalid argument"},            {true, "top 1", "error: invalid argument"},
        {true, "t 1 2", "error: invalid argument"},       {true, "reset", "ok"},
        {true, "l", "20"},        {false, "b", "100 100"},  {false, "b 5 6", "5 6"},
        {false, "b a", "100 100"}, {false, "b 5", "error: invalid argument"},
        {false, "b 5 x", "error: invalid value"},         {false, "b 5 2000", "error: out of range"},
        {false, "q", "error: invalid argument"},          {false, "r 1 2 3", "error: invalid argument"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.snap ? b.snap(c.argument) : b.adjust(c.argument), QLatin1String(c.answer)) << c.argument;
}

TEST(SimCalibrationCommands, PresentOnlyOnFirmwareThatHasThem)
{
    const struct {
        const char* setup;
        bool zones, snap, adjust;
    } cases[] = {
        {"vasta:0200000001A3:2.001", false, false, false}, {"vasta:0200000001A3:2.004", true, true, true},
        {"lyn:0400000001B4:2.003", true, false, false},    {"twinpoint:0C00000002B7:2.004", true, true, false},
        {"twinpoint:0C00000002B7:2.005", true, true, true},
    };
    for (const auto& c : cases) {
        ControllerSetup setup;
        QString error;
        ASSERT_TRUE(parseControllerSetup(QLatin1String(c.setup), &setup, &error));
        CVNRegisterTable registers(registerCatalog(setup.productId, setup.release, setup.serial), {});
        CVNCalibrationCommands commands(setup.productId, setup.release, &registers);
        CVNHidController::RawAnswer answer;
        EXPECT_EQ(commands.perform("cmatrix", readBlock(0), &answer), c.zones) << c.setup;
        EXPECT_EQ(commands.perform("tste", QByteArray("t").leftJustified(64, '\0'), &answer), c.snap) << c.setup;
        EXPECT_EQ(commands.perform("cba", QByteArray("t").leftJustified(64, '\0'), &answer), c.adjust) << c.setup;
    }
}
