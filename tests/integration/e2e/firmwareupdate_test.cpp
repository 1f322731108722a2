// A firmware update as a user makes it: the controller into DFU mode with
// the tool, files made by dfu-suffix (dfu-util, nobody's code here), the
// upload while other clients are answered, the controller back with its new
// release; files that are not for it refused before anything is written; a
// DFU device that misbehaves.
#include "runningservice.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace
{

const QString& kVasta = RunningService::kVasta; // bound, not copied: defined in another file
const QString kSelected = QStringLiteral("The selected device is: 0200000001A3 selected\n");

QString answer(const QString& text, bool failed = true)
{
    return kSelected + "firmware-upload: " + text + '\n'
        + (failed ? QStringLiteral("Unknown or not executed option(s): firmware-upload\n") : QString());
}

bool waitFor(const std::function<bool()>& condition)
{
    for (int waited = 0; waited < 15000 && !condition(); waited += 50)
        QThread::msleep(50);
    return condition();
}

class FirmwareUpdate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(QStandardPaths::findExecutable("dfu-suffix").isEmpty()) << "scripts/deps installs dfu-util";
        ASSERT_TRUE(service.start());
        EXPECT_EQ(service.tool({ "--device", kVasta, "--dreset", "dfu" }).output, kSelected + "dreset: ok\n");
        ASSERT_TRUE(waitFor([this] { return listed() == "Dfu 2.005"; })) << qPrintable(listed());
    }
    void TearDown() override { EXPECT_EQ(service.stop(), 0); }

    // Kind and version the service lists the Vasta with, from devices_list.
    QString listed() const
    {
        QProcess request;
        request.start(CORVANE_BIN_DIR "/corvane-request", { R"({"actions": {"list": [{"key": "devices_list"}]}})" });
        request.waitForFinished(15000);
        const QJsonObject reply = QJsonDocument::fromJson(request.readAllStandardOutput()).object();
        for (const QJsonValue& device : reply["reactions"]["list"][0]["value"].toArray()) {
            if (device["serial_number"] == kVasta)
                return device["device_type"].toString() + ' ' + device["version"].toString();
        }
        return QString();
    }
    // `body` in a file, given a suffix by dfu-suffix with `arguments` (none: as it is).
    QString file(const QString& name, const QByteArray& body, const QStringList& arguments = {})
    {
        QFile out(files.filePath(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(body) == body.size());
        out.close();
        if (!arguments.isEmpty())
            EXPECT_EQ(QProcess::execute("dfu-suffix", arguments + QStringList { "-a", out.fileName() }), 0) << qPrintable(name);
        return out.fileName();
    }
    ToolRun upload(const QString& path) const { return service.tool({ "--device", kVasta, "--firmware-upload", path }); }
    int downloads() { return service.sim().trafficLines().filter(" DFU_DNLOAD ").size(); }
    static QByteArray randomBytes(int size)
    {
        QByteArray bytes(size, '\0');
        for (char& b : bytes)
            b = char(QRandomGenerator::global()->bounded(256));
        return bytes;
    }

    RunningService service;
    QTemporaryDir files;
};

} // namespace

TEST_F(FirmwareUpdate, BackWithTheNewReleaseWhileOthersAreAnswered)
{
    // The image names its release for the simulated controller; the suffix
    // says which controller the file is for.
    const QString firmware = file("vasta-2.006.dfu", "corvane-firmware 2.006\n" + randomBytes(64 * 1024),
        { "-v", "3c2e", "-p", "0002", "-d", "0206" });
    // The controller is silent when the upload begins: the upload waits
    // inside its first transfer (a thread of the service sits in a read from
    // the simulator that was not there before), and the service still
    // answers everybody else. No timing decides where the upload stands.
    const qint64 simulator = service.simulatorPid();
    ASSERT_GT(simulator, 0);
    const QSet<qint64> before = service.threadsInDeviceTransfer();
    ASSERT_EQ(::kill(pid_t(simulator), SIGSTOP), 0);
    QProcess uploading;
    service.startTool(uploading, { "--device", kVasta, "--firmware-upload", firmware });
    const bool waiting = waitFor([&] { return !(service.threadsInDeviceTransfer() - before).isEmpty(); });
    const ToolRun other = service.tool({ "--device-list" });
    const bool stillUploading = !uploading.waitForFinished(0);
    ::kill(pid_t(simulator), SIGCONT);
    EXPECT_TRUE(waiting) << "no thread of the service went into a transfer";
    EXPECT_TRUE(other.output.contains("0 Vasta        0200000001A3 Dfu  unlocked")) << qPrintable(other.output);
    EXPECT_TRUE(stillUploading) << "the upload was over before the other client asked";

    const ToolRun done = RunningService::finish(uploading);
    EXPECT_EQ(done.output, answer("Firmware updated successfully", false));
    EXPECT_EQ(done.exitCode, 0);
    EXPECT_EQ(downloads(), 65 + 1) << "every block and the completion, not the suffix";
    EXPECT_TRUE(service.sim().trafficHas("0200000001A3 DFU_DNLOAD 64 23 -> ok"));
    ASSERT_TRUE(waitFor([this] { return listed() == "Hid 2.006"; })) << qPrintable(listed());
    EXPECT_EQ(service.tool({ "--device", kVasta, "--dversion" }).output, kSelected + "dversion: 2.006\n");
}

TEST_F(FirmwareUpdate, RefusedFilesAndMisbehavingDevices)
{
    const QByteArray body = randomBytes(5000);
    QFile good(file("good.dfu", body, { "-v", "3c2e", "-p", "0002" }));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    QByteArray flipped = good.readAll();
    flipped[100] = char(flipped.at(100) ^ 0x20);
    const QString refused = "Firmware suffix check failed";
    const QList<QPair<QString, QString>> files {
        { file("other-vendor.dfu", body, { "-v", "1234", "-p", "0002" }), refused },
        { file("for-a-lyn.dfu", body, { "-v", "3c2e", "-p", "0004" }), refused },
        { file("flipped.dfu", flipped), refused },
        { file("no-suffix.bin", body), refused },
        { file("short.dfu", "UFD"), refused },
    };
    for (const auto& f : files) {
        const ToolRun run = upload(f.first);
        EXPECT_EQ(run.output, answer(f.second)) << qPrintable(f.first);
        EXPECT_EQ(run.exitCode, 4) << qPrintable(f.first);
    }
    EXPECT_EQ(upload(file("empty.dfu", {})).output, answer("File is empty", false));
    EXPECT_EQ(upload(file("huge.dfu", QByteArray(5 * 1024 * 1024, 'h'))).output, answer("Cannot open file", false));
    EXPECT_EQ(downloads(), 0) << "nothing was written to the controller";

    // Each fault ends with its text, within bounds, and the device takes the next try.
    const QList<QPair<QStringList, QString>> faults {
        { { "state appidle" }, "Device still in runtime mode" },
        { { "state idle", "refuse 1" }, "Firmware upload failed, state = 10, status = 3\n" },
        { { "state error", "stuck error" }, "DFU Error.. clearing status" },
        { { "clear", "state idle", "stuck manifest" }, "Unable to read DFU status" },
        { { "clear", "state idle", "vanish 2" }, "Error during upload,2048 bytes sent" },
    };
    for (const auto& f : faults) {
        for (const QString& fault : f.first)
            ASSERT_TRUE(service.sim().control(QStringList { "dfufault", kVasta } + fault.split(' '))) << qPrintable(fault);
        EXPECT_EQ(upload(good.fileName()).output, answer(f.second)) << qPrintable(f.first.join(", "));
    }
    EXPECT_TRUE(waitFor([this] { return listed().isEmpty(); })) << "vanished";
}
