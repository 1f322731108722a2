// The settings store as an installer uses it: the command-line tool
// downloads a controller's configuration into a file on its own machine,
// and uploads that file to a second controller of the same product.
#include "../../unit/service/qtprinters.h"
#include "runningservice.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

const QString kSecondVasta = QStringLiteral("0200000001B9");
constexpr int kErrorExit = 4;

QString selected(const QString& serial)
{
    return QStringLiteral("The selected device is: ") + serial + QStringLiteral(" selected\n");
}

int trafficCount(SimProcess& sim, const QString& start)
{
    int count = 0;
    for (const QString& line : sim.trafficLines())
        count += line.startsWith(start) ? 1 : 0;
    return count;
}

} // namespace

TEST(SettingsEndToEnd, FileFromOneControllerReproducesItsSettingsOnAnother)
{
    RunningService service;
    ASSERT_TRUE(service.start());
    QTemporaryDir files;
    const QString vasta = RunningService::kVasta;
    const QString path = files.filePath(QStringLiteral("vasta.set"));
    ASSERT_TRUE(service.sim().control({ "set", vasta, "th", "61" }));
    ASSERT_TRUE(service.sim().control({ "set", vasta, "tblobdis", "12 14" }));

    ToolRun run = service.tool({ "--device", vasta, "--device-settings", "download", path });
    EXPECT_EQ(run.output, selected(vasta) + "device-settings: File write successful to " + path + '\n');
    EXPECT_EQ(run.exitCode, 0);

    // The file: header, settings version, length, key, and the blocks.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QDataStream stream(bytes);
    QString header, version, length, key;
    QByteArray configuration;
    stream >> header >> version >> length >> key >> configuration;
    EXPECT_EQ(stream.status(), QDataStream::Ok);
    EXPECT_TRUE(stream.atEnd());
    EXPECT_EQ(header, "Corvane Veil File Settings v2.4");
    EXPECT_EQ(version, "2.5");
    EXPECT_EQ(length, service.sim().registerValue(vasta, "sbl"));
    EXPECT_EQ(key, service.sim().registerValue(vasta, "sbk"));
    EXPECT_EQ(configuration.size(), (length.toInt() + 63) / 64 * 64);
    EXPECT_TRUE(configuration.contains("\nth=61\n"));
    EXPECT_EQ(trafficCount(service.sim(), vasta + " sbg"), (length.toInt() + 63) / 64);

    // A second Vasta of the installation takes the file.
    ASSERT_TRUE(service.sim().control({ "plug", "vasta:" + kSecondVasta + ":2.005" }));
    QDeadlineTimer deadline(20000);
    while (!service.tool({ "--device-list" }).output.contains(kSecondVasta) && !deadline.hasExpired()) { }
    ASSERT_NE(service.sim().registerValue(kSecondVasta, "th"), "61");
    run = service.tool({ "--device", kSecondVasta, "--device-settings", "upload", path });
    EXPECT_EQ(run.output, selected(kSecondVasta) + "device-settings: Settings uploaded\n");
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word : { "th", "tblobdis", "gain", "fmode", "cenable" })
        EXPECT_EQ(service.sim().registerValue(kSecondVasta, word), service.sim().registerValue(vasta, word)) << word;
    run = service.tool({ "--device", kSecondVasta, "--th", "--tblobdis" });
    EXPECT_EQ(run.output, selected(kSecondVasta) + "th: 61\ntblobdis: 12 14\n");

    // A bad file says why and reaches no controller.
    const QString garbage = files.filePath(QStringLiteral("garbage.set"));
    QFile garbageFile(garbage);
    ASSERT_TRUE(garbageFile.open(QIODevice::WriteOnly));
    garbageFile.write(QByteArray(100, 'x'));
    garbageFile.close();
    const int begins = trafficCount(service.sim(), kSecondVasta + " sbb");
    run = service.tool({ "--device", kSecondVasta, "--device-settings", "upload", garbage });
    EXPECT_TRUE(run.output.startsWith(selected(kSecondVasta) + "device-settings: Settings upload error: "))
        << qPrintable(run.output);
    EXPECT_EQ(run.exitCode, kErrorExit);
    EXPECT_EQ(trafficCount(service.sim(), kSecondVasta + " sbb"), begins);
    EXPECT_EQ(trafficCount(service.sim(), kSecondVasta + " sversion"), 1);

    EXPECT_EQ(service.stop(), 0);
}
