// The accepted forms are proven by the process test; here every malformed
// setup and command line is refused with a message.
#include "controllersetup.h"
#include "handlesession.h"
#include "simlimits.h"
#include "simcommandline.h"
#include "virtualcontroller.h"

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
        "vasta:0200000001A3:2.005,bulk=2",  // setup keys take only their values
        "vasta:0200000001A3:2.005,bulk=",
        "vasta:0200000001A3:2.005,paths=3",
        "vasta:0200000001A3:2.005,paths=0",
        "vasta:0200000001A3:2.005,paths=two",
        "vasta:0200000001A3:2.005,hang=",  // hang needs a command word
        "vasta:0200000001A3:2.005,hang=Dbuild",
        "vasta:0200000001A3:2.005,hang=toolongword",
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

TEST(ControllerSetup, BulkAndPathsShapeTheInterfacesAndAreNoPresets)
{
    struct Row {
        const char* text;
        bool bulk;
        int hidPaths;
        QStringList presets;
        QStringList paths;  // suffixes of the presented interfaces, in order
    };
    const Row rows[] = {
        {"vasta:0200000001A3:2.005", false, 1, {}, {"#hid"}},
        {"vasta:0200000001A3:2.005,bulk=1", true, 1, {}, {"#bulk", "#hid"}},
        {"vasta:0200000001A3:2.005,paths=2,gain=5", false, 2, {"gain"}, {"#hid", "#hid2"}},
        {"vasta:0200000001A3:2.005,gain=5,bulk=1,paths=2", true, 2, {"gain"}, {"#bulk", "#hid", "#hid2"}},
        {"vasta:0200000001A3:2.005,bulk=0,paths=1", false, 1, {}, {"#hid"}},
    };
    for (const Row& row : rows) {
        ControllerSetup setup;
        QString error;
        ASSERT_TRUE(parseControllerSetup(QLatin1String(row.text), &setup, &error)) << row.text;
        EXPECT_EQ(setup.bulk, row.bulk) << row.text;
        EXPECT_EQ(setup.hidPaths, row.hidPaths) << row.text;
        QStringList words;
        for (const auto& preset : setup.presets)
            words << preset.first;
        EXPECT_EQ(words, row.presets) << row.text;

        const auto controller = CVNVirtualController::create(setup, &error);
        ASSERT_TRUE(controller) << row.text << " " << error.toStdString();
        const QList<UsbInterface> interfaces = controller->interfaces();
        ASSERT_EQ(interfaces.size(), row.paths.size()) << row.text;
        for (int i = 0; i < interfaces.size(); ++i) {
            EXPECT_TRUE(interfaces[i].path.endsWith(row.paths[i])) << row.text << " " << interfaces[i].path.toStdString();
            EXPECT_EQ(controller->interfaceKind(interfaces[i].path.toUpper()), interfaces[i].kind);
        }
    }

    ControllerSetup setup;
    QString error;
    ASSERT_TRUE(parseControllerSetup(QStringLiteral("vasta:0200000001A3:2.005,bulk=1,paths=2"), &setup, &error));
    const auto controller = CVNVirtualController::create(setup, &error);
    ASSERT_TRUE(controller);
    const QList<UsbInterface> interfaces = controller->interfaces();
    EXPECT_EQ(interfaces[0].fields(),
              QStringLiteral("path=sim#vid_3c2e&pid_0002#0200000001a3#bulk kind=bulk vid=3c2e pid=0002 rel=0205 "
                             "serial=0200000001A3 class=255 subclass=1 protocol=1 eps=81:bulk,01:bulk"));
    EXPECT_EQ(interfaces[2].fields(), interfaces[1].fields().replace(QStringLiteral("#hid "), QStringLiteral("#hid2 ")));
    EXPECT_TRUE(controller->interfaceKind(QStringLiteral("sim#vid_3c2e&pid_0002#0200000001a3#hid3")).isEmpty());

    // A key that is neither a setup key nor a register word is still refused.
    ASSERT_TRUE(parseControllerSetup(QStringLiteral("vasta:0200000001A3:2.005,bulk=1,nosuch=1"), &setup, &error));
    error.clear();
    EXPECT_FALSE(CVNVirtualController::create(setup, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ControllerSetup, HangedControllerAnswersNothingFromItsHangWordOn)
{
    ControllerSetup setup;
    QString error;
    ASSERT_TRUE(parseControllerSetup(QStringLiteral("vasta:0200000001A3:2.005,hang=dbuild,gain=2"), &setup, &error));
    EXPECT_EQ(setup.hangWord, QStringLiteral("dbuild"));
    ASSERT_EQ(setup.presets.size(), 1);  // hang is no register
    const auto controller = CVNVirtualController::create(setup, &error);
    ASSERT_TRUE(controller);
    const auto command = [&](const char* word) {
        QByteArray report(CommandReportSize, '\0');
        report[0] = char(CommandReportId);
        report.replace(1, int(qstrlen(word)), word);
        return performHandleRequest(controller.get(), QStringLiteral("hid"),
                                    QStringLiteral("setfeature ") + QString::fromLatin1(report.toHex()));
    };
    const HandleAnswer gain = command("gain");
    EXPECT_EQ(gain.line, QStringLiteral("ok"));
    EXPECT_FALSE(gain.silent);
    EXPECT_TRUE(command("dbuild").silent);
    // Everything after it, other words and reads included.
    EXPECT_TRUE(command("gain").silent);
    EXPECT_TRUE(performHandleRequest(controller.get(), QStringLiteral("hid"), QStringLiteral("getfeature 21 73")).silent);
}
