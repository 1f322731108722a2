#include "controllersetup.h"
#include "simcommandline.h"

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace corvanesim;

TEST(ControllerSetup, ParsesProductSerialFirmwareAndPresets)
{
    ControllerSetup setup;
    QString error;
    ASSERT_TRUE(parseControllerSetup(QStringLiteral("vasta:0200000001A3:2.005,gain=9,dmode=raw"), &setup, &error)) << error.toStdString();
    EXPECT_EQ(setup.productId, 2);
    EXPECT_EQ(setup.serial, QStringLiteral("0200000001A3"));
    EXPECT_EQ(setup.release, 0x0205);
    ASSERT_EQ(setup.presets.size(), 2);
    EXPECT_EQ(setup.presets[0], qMakePair(QStringLiteral("gain"), QStringLiteral("9")));
    EXPECT_EQ(setup.presets[1].first, QStringLiteral("dmode"));

    for (const auto& c : QList<QPair<QString, int>>{{"LYN", 4}, {"TwinPoint", 12}, {"tarso55", 32}, {"65535", 65535}}) {
        quint16 id = 1234;
        EXPECT_TRUE(parseProduct(c.first, &id)) << c.first.toStdString();
        EXPECT_EQ(id, c.second) << c.first.toStdString();
    }
    for (const auto& c : QList<QPair<QString, int>>{{"2.010", 0x0210}, {"1.009", 0x0109}, {"a.0ff", 0x0AFF}}) {
        quint16 release = 0;
        EXPECT_TRUE(parseFirmware(c.first, &release)) << c.first.toStdString();
        EXPECT_EQ(release, c.second) << c.first.toStdString();
        EXPECT_EQ(firmwareText(release), c.first.toLower());
    }
}

TEST(ControllerSetup, MalformedSetupsAreRejectedWithAMessage)
{
    quint16 value = 0;
    for (const char* bad : {"65536", "-2", "ribo", ""})
        EXPECT_FALSE(parseProduct(QLatin1String(bad), &value)) << bad;
    for (const char* bad : {"2.05", "2.0005", "2.100", "2,005", "2.", ".005", "123.005", "2.00g", ""})
        EXPECT_FALSE(parseFirmware(QLatin1String(bad), &value)) << bad;
    const char* bad[] = {
        "vasta:0200000001A3",  // no firmware
        "vasta:0200000001A3:2.005:x",  // extra field
        "ribo:0200000001A3:2.005",  // unknown product
        "vasta:0200000001A:2.005",  // 11-character serial
        "vasta:0200000001A34:2.005",  // 13-character serial
        "vasta:02000000 1A3:2.005",  // space in serial
        "vasta:0200000001A3:2.5",  // firmware
        "vasta:0200000001A3:2.005,gain",  // preset without value
        "vasta:0200000001A3:2.005,=3",  // preset without word
        "vasta:0200000001A3:2.005,toolongword=1",  // word over 8 characters
        "",
    };
    for (const char* text : bad) {
        ControllerSetup setup;
        QString error;
        EXPECT_FALSE(parseControllerSetup(QLatin1String(text), &setup, &error)) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
    }
}

TEST(CommandLine, RunModeAndRequestsAreCheckedBeforeUse)
{
    SimCommandLine line;
    QString error;
    ASSERT_TRUE(parseCommandLine({"--socket", "/tmp/s", "--device", "vasta:0200000001A3:2.005", "--device",
                                  "lyn:0400000000B1:2.004", "--traffic", "/tmp/t"},
                                 &line, &error))
        << error.toStdString();
    EXPECT_EQ(line.socketPath, QStringLiteral("/tmp/s"));
    EXPECT_EQ(line.devices.size(), 2);
    EXPECT_EQ(line.trafficPath, QStringLiteral("/tmp/t"));
    EXPECT_TRUE(line.request.isEmpty());
    ASSERT_TRUE(parseCommandLine({"--socket", "/tmp/s", "set", "0200000001A3", "thbound", "10", "200"}, &line, &error));
    EXPECT_EQ(line.request, QStringLiteral("set 0200000001A3 thbound 10 200"));

    const QList<QStringList> bad = {
        {"plug", "vasta:0200000001A3:2.005"},  // no socket
        {"--socket", "/tmp/s", "plug", "vasta:bad:2.005"},
        {"--socket", "/tmp/s", "fail", "0200000001A3"},
        {"--socket", "/tmp/s", "unplug"},
        {"--socket", "/tmp/s", "explode", "x"},
        {"--socket", "/tmp/s", "--device", "vasta:0200000001A3"},
        {"--socket", "/tmp/s", "--traffic", "/tmp/t", "list"},
        {"--socket"},
        {"--socket", "/tmp/s", "--bogus"},
    };
    for (const QStringList& args : bad) {
        error.clear();
        EXPECT_FALSE(parseCommandLine(args, &line, &error)) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}
