// A firmware update as a user makes it: the controller into DFU mode with
// the tool, firmware files made by dfu-suffix (from dfu-util, nobody's code
// here), the upload, and the controller back with its new release; files
// that are not for it refused before anything is written; a DFU device
// that misbehaves, and other clients answered while an upload runs.
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

constexpr int kErrorExit = 4;
const QString kSelected = QStringLiteral("The selected device is: 0200000001A3 selected\n");

QString uploadAnswer(const QString& text)
{
    return kSelected + QStringLiteral("firmware-upload: ") + text + QLatin1Char('\n');
}

QString failedUpload(const QString& text)
{
    return uploadAnswer(text) + QStringLiteral("Unknown or not executed option(s): firmware-upload\n");
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 15000)
{
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        if (condition())
            return true;
        QThread::msleep(50);
    }
    return condition();
}

// The CRC of a DFU suffix, written here from the DFU 1.1 text: reflected
// polynomial 0xEDB88320, start 0xFFFFFFFF, no final inversion.
quint32 suffixCrc(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

class FirmwareUpdate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(QStandardPaths::findExecutable("dfu-suffix").isEmpty()) << "scripts/deps installs dfu-util";
        ASSERT_TRUE(service.start()) << "the service did not come up with both controllers";
    }
    void TearDown() override
    {
        if (simulator > 0)
            ::kill(pid_t(simulator), SIGCONT);
        EXPECT_EQ(service.stop(), 0);
    }

    ToolRun tool(const QStringList& arguments) const
    {
        const ToolRun run = service.tool(arguments);
        EXPECT_TRUE(run.finished) << qPrintable(arguments.join(QLatin1Char(' ')));
        return run;
    }
    QString listLine() const
    {
        const QString list = tool({ "--device-list" }).output;
        for (const QString& line : list.split('\n')) {
            if (line.contains(RunningService::kVasta))
                return line.simplified();
        }
        return QString();
    }
    void enterDfuMode()
    {
        const ToolRun reset = tool({ "--device", RunningService::kVasta, "--dreset", "dfu" });
        EXPECT_EQ(reset.output, kSelected + "dreset: ok\n");
        EXPECT_EQ(reset.exitCode, 0);
        ASSERT_TRUE(waitFor([this] { return listLine() == "0 Vasta 0200000001A3 Dfu unlocked"; }))
            << qPrintable(listLine());
    }
    // A file of `body` made into a DFU file by dfu-suffix with these arguments.
    QString dfuSuffixFile(const QString& name, const QByteArray& body, const QStringList& arguments)
    {
        const QString path = files.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body);
        file.close();
        if (!arguments.isEmpty()) {
            QProcess suffix;
            suffix.start("dfu-suffix", arguments + QStringList { "-a", path });
            EXPECT_TRUE(suffix.waitForFinished(10000));
            EXPECT_EQ(suffix.exitCode(), 0) << qPrintable(name);
        }
        return path;
    }
    QString upload(const QString& path, int* exitCode = nullptr) const
    {
        const ToolRun run = tool({ "--device", RunningService::kVasta, "--firmware-upload", path });
        if (exitCode)
            *exitCode = run.exitCode;
        return run.output;
    }
    int downloads() { return service.sim().trafficLines().filter(" DFU_DNLOAD ").size(); }
    bool dfuFault(const QStringList& words)
    {
        return service.sim().control(QStringList { "dfufault", RunningService::kVasta } + words);
    }
    // The firmware version the service lists the controller with.
    QString listedVersion() const
    {
        QProcess request;
        request.start(CORVANE_BIN_DIR "/corvane-request",
            { R"({"actions": {"list": [{"key": "devices_list", "id": 1}]}})" });
        if (!request.waitForFinished(15000))
            return QString();
        const QJsonObject answer = QJsonDocument::fromJson(request.readAllStandardOutput()).object();
        for (const QJsonValue& device : answer["reactions"]["list"][0]["value"].toArray()) {
            if (device["serial_number"].toString() == RunningService::kVasta)
                return device["device_type"].toString() + ' ' + device["version"].toString();
        }
        return QString();
    }

    static QByteArray randomBytes(int size)
    {
        QByteArray bytes(size, '\0');
        for (char& b : bytes)
            b = char(QRandomGenerator::global()->bounded(256));
        return bytes;
    }

    RunningService service;
    QTemporaryDir files;
    qint64 simulator = 0;
};

} // namespace

TEST_F(FirmwareUpdate, ToDfuModeAndBackWithTheNewReleaseWhileOthersAreAnswered)
{
    EXPECT_EQ(listedVersion(), "Hid 2.005");
    enterDfuMode();
    EXPECT_EQ(listedVersion(), "Dfu 2.005");

    // The image names its release for the simulated controller; the file's
    // suffix says which controller it is for.
    const QByteArray image = "corvane-firmware 2.006\n" + randomBytes(300 * 1024);
    const QString firmware = dfuSuffixFile("vasta-2.006.dfu", image, { "-v", "3c2e", "-p", "0002", "-d", "0206" });

    QProcess uploading;
    service.startTool(uploading, { "--device", RunningService::kVasta, "--firmware-upload", firmware });
    ASSERT_TRUE(waitFor([this] { return service.sim().trafficHas("0200000001A3 DFU_DNLOAD 0 1024"); }));
    // The controller stops answering mid-upload: the upload waits inside a
    // transfer, and the service still answers everybody else.
    simulator = service.simulatorPid();
    ASSERT_NE(simulator, 0);
    ASSERT_EQ(::kill(pid_t(simulator), SIGSTOP), 0);
    const ToolRun other = tool({ "--device-list" });
    const bool stillUploading = uploading.state() != QProcess::NotRunning;
    ::kill(pid_t(simulator), SIGCONT);
    EXPECT_TRUE(other.output.contains("0 Vasta        0200000001A3 Dfu  unlocked")) << qPrintable(other.output);
    EXPECT_EQ(other.exitCode, 0);
    EXPECT_TRUE(stillUploading) << "the upload was over before the other client asked";

    const ToolRun done = RunningService::finish(uploading);
    EXPECT_EQ(done.output, uploadAnswer("Firmware updated successfully"));
    EXPECT_EQ(done.exitCode, 0);
    // Every block of the payload went, the suffix stayed behind.
    EXPECT_EQ(downloads(), 301 + 1);
    EXPECT_TRUE(service.sim().trafficHas("0200000001A3 DFU_DNLOAD 300 23 -> ok"));

    ASSERT_TRUE(waitFor([this] { return listLine() == "0 Vasta 0200000001A3 Hid unlocked"; }))
        << qPrintable(listLine());
    EXPECT_EQ(listedVersion(), "Hid 2.006");
    EXPECT_EQ(tool({ "--device", RunningService::kVasta, "--dversion" }).output, kSelected + "dversion: 2.006\n");
}

TEST_F(FirmwareUpdate, FilesNotForThisControllerAreRefusedBeforeAnythingIsWritten)
{
    enterDfuMode();
    const QByteArray body = randomBytes(5000);
    const QStringList vasta { "-v", "3c2e", "-p", "0002" };
    const QString good = dfuSuffixFile("good.dfu", body, vasta);
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    QByteArray flipped = goodFile.readAll();
    flipped[100] = char(flipped.at(100) ^ 0x20);
    // A suffix claiming more bytes than the file has, with a right CRC.
    QByteArray tooLong = QByteArray::fromHex("ffffffffffff0001") + "UFD" + char(200);
    const quint32 crc = suffixCrc(tooLong);
    for (int shift = 0; shift < 32; shift += 8)
        tooLong.append(char((crc >> shift) & 0xFF));

    const struct {
        QString file;
        QString text;
    } refused[] = {
        { dfuSuffixFile("other-vendor.dfu", body, { "-v", "1234", "-p", "0002" }), "Firmware suffix check failed" },
        { dfuSuffixFile("for-a-lyn.dfu", body, { "-v", "3c2e", "-p", "0004" }), "Firmware suffix check failed" },
        { dfuSuffixFile("flipped.dfu", flipped, {}), "Firmware suffix check failed" },
        { dfuSuffixFile("no-suffix.bin", body, {}), "Firmware suffix check failed" },
        { dfuSuffixFile("short.dfu", "UFD", {}), "Firmware suffix check failed" },
        { dfuSuffixFile("too-long-suffix.dfu", tooLong, {}), "Firmware suffix check failed" },
    };
    for (const auto& r : refused) {
        int exitCode = 0;
        EXPECT_EQ(upload(r.file, &exitCode), failedUpload(r.text)) << qPrintable(r.file);
        EXPECT_EQ(exitCode, kErrorExit) << qPrintable(r.file);
    }
    // Files the tool cannot hand over.
    EXPECT_EQ(upload(dfuSuffixFile("empty.dfu", QByteArray(), {})), uploadAnswer("File is empty"));
    EXPECT_EQ(upload(files.filePath("missing.dfu")), uploadAnswer("Cannot open file"));
    EXPECT_EQ(upload(dfuSuffixFile("huge.dfu", QByteArray(5 * 1024 * 1024, 'h'), vasta)),
        uploadAnswer("Cannot open file"));
    EXPECT_EQ(downloads(), 0) << "nothing was written to the controller";

    // A file for any vendor and product (dfu-suffix's defaults) goes to any
    // controller; an image that names no release leaves the release as it was.
    const QString anyController = dfuSuffixFile("any.dfu", body, { "-d", "0207" });
    EXPECT_EQ(upload(anyController), uploadAnswer("Firmware updated successfully"));
    EXPECT_EQ(downloads(), 5 + 1);
    ASSERT_TRUE(waitFor([this] { return listLine() == "0 Vasta 0200000001A3 Hid unlocked"; }));
    EXPECT_EQ(listedVersion(), "Hid 2.005");
}

// Each fault a DFU device can show ends with its own text, within bounds,
// and leaves the device usable for the next try.
TEST_F(FirmwareUpdate, MisbehavingDfuDevices)
{
    enterDfuMode();
    const QString firmware = dfuSuffixFile("vasta.dfu", randomBytes(3000), { "-v", "3c2e", "-p", "0002" });
    const struct {
        QList<QStringList> faults;
        QString answer;
    } cases[] = {
        { { { "state", "appidle" } }, failedUpload("Device still in runtime mode") },
        { { { "state", "idle" }, { "refuse", "1" } }, failedUpload("Firmware upload failed, state = 10, status = 3\n") },
        { { { "clear" }, { "state", "error" }, { "stuck", "error" } }, failedUpload("DFU Error.. clearing status") },
        { { { "clear" }, { "state", "dnload-idle" }, { "stuck", "dnload-idle" } }, failedUpload("DFU Error.. abort") },
        { { { "clear" }, { "stuck", "dnbusy" } }, failedUpload("Error during firmware upload") },
        { { { "clear" }, { "state", "idle" }, { "stuck", "manifest" } }, failedUpload("Unable to read DFU status") },
    };
    for (const auto& c : cases) {
        for (const QStringList& fault : c.faults)
            ASSERT_TRUE(dfuFault(fault)) << qPrintable(fault.join(' '));
        int exitCode = 0;
        EXPECT_EQ(upload(firmware, &exitCode), c.answer) << qPrintable(c.faults.last().join(' '));
        EXPECT_EQ(exitCode, kErrorExit);
    }

    // A device that fails on the bus; one that vanishes in the middle.
    ASSERT_TRUE(dfuFault({ "clear" }));
    ASSERT_TRUE(dfuFault({ "state", "idle" }));
    ASSERT_TRUE(service.sim().control({ "fail", RunningService::kVasta, "1" }));
    EXPECT_EQ(upload(firmware), failedUpload("No DFU capable USB device found"));
    ASSERT_TRUE(dfuFault({ "vanish", "2" }));
    EXPECT_EQ(upload(firmware), failedUpload("Error during upload,2048 bytes sent"));
    ASSERT_TRUE(waitFor([this] { return listLine().isEmpty(); }));
}
