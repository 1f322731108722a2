// The accepted forms are proven by the process test; here every malformed
// setup and command line is refused with a message.
#include "controllersetup.h"
#include "simcommandline.h"

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace corvanesim;

TEST(ControllerSetup, ProductAndFirmwareForms)
{
    quint16 value = 0;
    for (const auto& c : QList<QPair<QString, int>>{{"LYN", 4}, {"TwinPoint", 12}, {"65535", 65535}})
        EXPECT_TRUE(parseProduct(c.first, &value) && value == c.second) << c.first.toStdString();
    for (const auto& c : QList<QPair<QString, int>>{{"2.010", 0x0210}, {"a.0ff", 0x0AFF}})
        EXPECT_TRUE(parseFirmware(c.first, &value) && value == c.second && firmwareText(value) == c.first)
            << c.first.toStdString();
    for (const char* bad : {"65536", "-2", "ribo", ""})
        EXPECT_FALSE(parseProduct(QLatin1String(bad), &value)) << bad;
    for (const char* bad : {"2.05", "2.0005", "2.100", "2,005", "2.", ".005", "123.005", "2.00g", ""})
        EXPECT_FALSE(parseFirmware(QLatin1String(bad), &value)) << bad;
}

TEST(ControllerSetup, MalformedSetupsAndCommandLinesAreRejectedWithAMessage)
{
    const char* bad[] = {
        "vasta:0200000001A3",  // no firmware
        "vasta:0200000001A3:2.005:x",  // extra field
        "ribo:0200000001A3:2.005",  // unknown product
        "vasta:0200000001A34:2.005",  // 13-character serial
        "vasta:02000000 1A3:2.005",  // space in serial
        "vasta:0200000001A3:2.005,gain",  // preset without value
        "vasta:0200000001A3:2.005,=3",  // preset without word
        "vasta:0200000001A3:2.005,toolongword=1",  // word over 8 characters
        "",
    };
    QString error;
    for (const char* text : bad) {
        ControllerSetup setup;
        error.clear();
        EXPECT_FALSE(parseControllerSetup(QLatin1String(text), &setup, &error)) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
    }

    const QList<QStringList> badLines = {
        {"plug", "vasta:0200000001A3:2.005"},  // no socket
        {"--socket", "/tmp/s", "fail", "0200000001A3"},
        {"--socket", "/tmp/s", "unplug"},
        {"--socket", "/tmp/s", "explode", "x"},
        {"--socket", "/tmp/s", "--traffic", "/tmp/t", "list"},
        {"--socket"},
        {"--socket", "/tmp/s", "--bogus"},
    };
    SimCommandLine line;
    for (const QStringList& args : badLines) {
        error.clear();
        EXPECT_FALSE(parseCommandLine(args, &line, &error)) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}
