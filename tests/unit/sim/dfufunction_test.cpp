// The simulator's DFU mode: into it with "dreset dfu", the DFU 1.1 state
// machine as a host meets it on the control pipe, its faults, and back out
// with the release the image names.
#include "commandreport.h"
#include "dfufault.h"
#include "dfufunction.h"
#include "firmwareimage.h"
#include "simlimits.h"
#include "virtualcontroller.h"

#include "qstringprinter.h"

#include <QThread>
#include <gtest/gtest.h>

using namespace corvanesim;

namespace {

constexpr int Out = 0x21;
constexpr int In = 0xA1;
enum { Dnload = 1, GetStatus = 3, ClrStatus = 4, GetState = 5, Abort = 6 };

struct Answer {
    bool ok = false;
    int status = -1;
    int poll = -1;
    int state = -1;
};

struct DfuFunction : ::testing::Test {
    CVNDfuFunction dfu;
    QStringList lines;
    QByteArray manifested;

    DfuFunction()
    {
        dfu.setTrafficSink([this](const QString& request, const QString& value, const QString& answer) {
            lines.append(request + ' ' + value + " -> " + answer);
        });
        dfu.setManifestSink([this](const QByteArray& image, int) { manifested = image; });
    }
    Answer status()
    {
        const TransferResult r = dfu.control(In, GetStatus, 0, 0, 6, {});
        Answer a;
        a.ok = r.status == TransferResult::Status::Ok && r.data.size() == 6;
        if (a.ok) {
            a.status = quint8(r.data[0]);
            a.poll = quint8(r.data[1]) | (quint8(r.data[2]) << 8) | (quint8(r.data[3]) << 16);
            a.state = quint8(r.data[4]);
        }
        return a;
    }
    bool out(int request, int value = 0, const QByteArray& data = {})
    {
        return dfu.control(Out, request, value, 0, data.size(), data).status == TransferResult::Status::Ok;
    }
    // One block the way a host sends it: download, then status until it is taken.
    Answer block(int number, const QByteArray& data)
    {
        EXPECT_TRUE(out(Dnload, number, data));
        Answer a = status();
        if (a.state == CVNDfuFunction::DnBusy) {
            QThread::msleep(ulong(a.poll));
            a = status();
        }
        return a;
    }
};

}  // namespace

TEST_F(DfuFunction, DownloadManifestAndTheRequestsEachStateRefuses)
{
    Answer a = status();
    EXPECT_EQ(a.state, CVNDfuFunction::Idle);
    EXPECT_EQ(a.status, 0);
    // Ending a download that never began, or clearing without an error, stalls into dfuERROR.
    EXPECT_FALSE(out(Dnload, 0));
    EXPECT_EQ(status().state, CVNDfuFunction::Error);
    EXPECT_TRUE(out(ClrStatus));
    EXPECT_FALSE(out(ClrStatus));
    EXPECT_TRUE(out(ClrStatus));

    const QByteArray first = QByteArray(CVNDfuFunction::TransferSize, 'a');
    ASSERT_TRUE(out(Dnload, 0, first));
    a = status();
    EXPECT_EQ(a.state, CVNDfuFunction::DnBusy);
    EXPECT_EQ(a.poll, CVNDfuFunction::BlockPollMs);
    // Asked again before the poll timeout: the device is writing flash.
    EXPECT_FALSE(status().ok);
    EXPECT_EQ(dfu.state(), CVNDfuFunction::Error);
    EXPECT_EQ(dfu.status(), CVNDfuFunction::ErrStalledPacket);

    ASSERT_TRUE(out(ClrStatus));
    EXPECT_EQ(block(0, first).state, CVNDfuFunction::DnloadIdle);
    EXPECT_EQ(block(1, "tail").state, CVNDfuFunction::DnloadIdle);
    EXPECT_FALSE(out(Dnload, 5, "out of order"));
    EXPECT_EQ(dfu.status(), CVNDfuFunction::ErrAddress);
    ASSERT_TRUE(out(ClrStatus));
    EXPECT_FALSE(out(Dnload, 0, QByteArray(CVNDfuFunction::TransferSize + 1, 'x'))) << "larger than wTransferSize";
    ASSERT_TRUE(out(ClrStatus));

    const QByteArray image = "corvane-firmware 2.006\n" + QByteArray(1500, 'i');
    EXPECT_EQ(block(0, image.left(1024)).state, CVNDfuFunction::DnloadIdle);
    EXPECT_EQ(block(1, image.mid(1024)).state, CVNDfuFunction::DnloadIdle);
    EXPECT_TRUE(out(Dnload, 2));
    a = status();
    EXPECT_EQ(a.state, CVNDfuFunction::Manifest);
    EXPECT_EQ(a.poll, CVNDfuFunction::ManifestPollMs);
    EXPECT_EQ(manifested, image);
    EXPECT_FALSE(out(Abort)) << "no abort while the image is put in place";

    const TransferResult state = dfu.control(In, GetState, 0, 0, 1, {});
    ASSERT_EQ(state.status, TransferResult::Status::Ok);
    EXPECT_EQ(state.data, QByteArray(1, char(CVNDfuFunction::Error)));
    // Wrong interface or direction: refused.
    EXPECT_EQ(dfu.control(In, GetStatus, 0, 1, 6, {}).status, TransferResult::Status::Fail);
    EXPECT_EQ(dfu.control(Out, GetStatus, 0, 0, 0, {}).status, TransferResult::Status::Fail);
    EXPECT_TRUE(lines.contains("DFU_DNLOAD 1 499 -> ok dfuDNLOAD-SYNC")) << qPrintable(lines.join('\n'));
    EXPECT_TRUE(lines.contains("DFU_GETSTATUS  -> OK dfuMANIFEST 20")) << qPrintable(lines.join('\n'));
}

TEST_F(DfuFunction, FaultsOnDemand)
{
    QString error;
    // A refused block.
    ASSERT_TRUE(applyDfuFault(dfu, {"refuse", "1"}, &error));
    EXPECT_EQ(block(0, "a").state, CVNDfuFunction::DnloadIdle);
    const Answer refused = block(1, "b");
    EXPECT_EQ(refused.state, CVNDfuFunction::Error);
    EXPECT_EQ(refused.status, CVNDfuFunction::ErrWrite);

    // Stuck in dfuERROR: clearing is taken but changes nothing.
    ASSERT_TRUE(applyDfuFault(dfu, {"stuck", "error"}, &error));
    EXPECT_TRUE(out(ClrStatus));
    EXPECT_EQ(status().state, CVNDfuFunction::Error);
    ASSERT_TRUE(applyDfuFault(dfu, {"clear"}, &error));
    EXPECT_TRUE(out(ClrStatus));
    EXPECT_EQ(status().state, CVNDfuFunction::Idle);

    // Busy for good: every status asks for another wait.
    ASSERT_TRUE(applyDfuFault(dfu, {"stuck", "dnbusy"}, &error));
    ASSERT_TRUE(out(Dnload, 0, "x"));
    for (int i = 0; i < 3; ++i) {
        const Answer busy = status();
        EXPECT_EQ(busy.state, CVNDfuFunction::DnBusy);
        QThread::msleep(ulong(busy.poll));
    }

    // A device that thinks it runs its application; one that vanishes.
    ASSERT_TRUE(applyDfuFault(dfu, {"clear"}, &error));
    ASSERT_TRUE(applyDfuFault(dfu, {"state", "appidle"}, &error));
    EXPECT_EQ(status().state, CVNDfuFunction::AppIdle);
    ASSERT_TRUE(applyDfuFault(dfu, {"state", "idle"}, &error));
    ASSERT_TRUE(applyDfuFault(dfu, {"vanish", "0"}, &error));
    EXPECT_EQ(dfu.control(Out, Dnload, 0, 0, 1, "z").status, TransferResult::Status::Vanished);

    const QList<QStringList> refusedWords{{"refuse"}, {"refuse", "-1"}, {"refuse", "65536"}, {"state", "limbo"},
                                          {"stuck"}, {"melt", "1"}, {"clear", "now"}};
    for (const QStringList& words : refusedWords) {
        error.clear();
        EXPECT_FALSE(applyDfuFault(dfu, words, &error)) << qPrintable(words.join(' '));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(FirmwareImage, TheFirstLineNamesTheRelease)
{
    const struct {
        QByteArray image;
        bool named;
        quint16 release;
    } cases[] = {
        {"corvane-firmware 2.006\nbody", true, 0x0206},
        {"corvane-firmware 1a.0ff\n", true, 0x1AFF},
        {"corvane-firmware 2.006", false, 0},  // no line end
        {"corvane-firmware 2.6\nbody", false, 0},
        {"firmware 2.006\n", false, 0},
        {"\ncorvane-firmware 2.006\n", false, 0},
        {"corvane-firmware " + QByteArray(100, '9') + "\n", false, 0},
        {QByteArray(), false, 0},
    };
    for (const auto& c : cases) {
        quint16 release = 0;
        EXPECT_EQ(imageRelease(c.image, &release), c.named) << c.image.left(40).constData();
        EXPECT_EQ(release, c.release) << c.image.left(40).constData();
    }
}

// The whole round as the bus sees it: HID, then DFU one product id up, then
// HID again with the downloaded release and that release's command set.
TEST(VirtualControllerDfu, IntoDfuModeAndBackWithTheNewRelease)
{
    ControllerSetup setup;
    QString error;
    ASSERT_TRUE(parseControllerSetup(QStringLiteral("vasta:0200000001A3:2.005,th=33"), &setup, &error));
    std::unique_ptr<CVNVirtualController> c = CVNVirtualController::create(setup, &error);
    QList<int> changes;
    c->setBusHook([&changes](int delayMs) { changes.append(delayMs); });

    QByteArray report(CommandReportSize, '\0');
    report[0] = char(CommandReportId);
    report.replace(1, 6, "dreset");
    report.replace(9, 3, "dfu");
    ASSERT_EQ(c->setFeature(report).status, TransferResult::Status::Ok);
    EXPECT_EQ(changes, QList<int>{CVNVirtualController::DetachFallbackMs}) << "leaves at the latest after a while";
    EXPECT_EQ(c->interfaces().first().kind, "hid") << "the answer can still be read";
    ASSERT_EQ(c->getFeature(CommandReportId, CommandReportSize).status, TransferResult::Status::Ok);
    EXPECT_EQ(changes.last(), CVNVirtualController::DetachDelayMs) << "and soon after it was";
    ASSERT_TRUE(c->applyBusChange());
    EXPECT_FALSE(c->applyBusChange()) << "one change, however often it was asked for";

    ASSERT_EQ(c->interfaces().size(), 1);
    const UsbInterface dfu = c->interfaces().first();
    EXPECT_EQ(dfu.kind, "dfu");
    EXPECT_EQ(dfu.productId, 3);
    EXPECT_EQ(dfu.serial, "0200000001A3");
    EXPECT_EQ(dfu.fields(), "path=sim#vid_3c2e&pid_0003#0200000001a3#dfu kind=dfu vid=3c2e pid=0003 rel=0205 "
                            "serial=0200000001A3 class=254 subclass=1 protocol=2 eps=-");
    EXPECT_EQ(c->setFeature(report).status, TransferResult::Status::Fail) << "no HID in DFU mode";

    // A two-block image that names 2.006.
    const QByteArray image = "corvane-firmware 2.006\n" + QByteArray(1200, 'f');
    ASSERT_EQ(c->control(Out, Dnload, 0, 0, 1024, image.left(1024)).status, TransferResult::Status::Ok);
    QThread::msleep(CVNDfuFunction::BlockPollMs);
    ASSERT_EQ(c->control(In, GetStatus, 0, 0, 6, {}).status, TransferResult::Status::Ok);
    QThread::msleep(CVNDfuFunction::BlockPollMs);
    ASSERT_EQ(c->control(In, GetStatus, 0, 0, 6, {}).data.at(4), char(CVNDfuFunction::DnloadIdle));
    ASSERT_EQ(c->control(Out, Dnload, 1, 0, image.size() - 1024, image.mid(1024)).status, TransferResult::Status::Ok);
    ASSERT_EQ(c->control(In, GetStatus, 0, 0, 6, {}).status, TransferResult::Status::Ok);
    QThread::msleep(CVNDfuFunction::BlockPollMs);
    ASSERT_EQ(c->control(In, GetStatus, 0, 0, 6, {}).status, TransferResult::Status::Ok);
    ASSERT_EQ(c->control(Out, Dnload, 2, 0, 0, {}).status, TransferResult::Status::Ok);
    c->faults().garbageNext(1);
    EXPECT_EQ(c->control(In, GetStatus, 0, 0, 6, {}).data.size(), 6) << "garbage instead of the status";
    EXPECT_EQ(c->control(In, GetStatus, 0, 0, 6, {}).data.at(4), char(CVNDfuFunction::Manifest));
    EXPECT_EQ(changes.last(), CVNDfuFunction::ManifestPollMs);

    ASSERT_TRUE(c->applyBusChange());
    ASSERT_EQ(c->interfaces().size(), 1);
    EXPECT_EQ(c->interfaces().first().kind, "hid");
    EXPECT_EQ(c->interfaces().first().productId, 2);
    EXPECT_EQ(c->interfaces().first().release, 0x0206);
    QString value;
    ASSERT_TRUE(c->registers().value("dversion", &value));
    EXPECT_EQ(value, "2.006");
    ASSERT_TRUE(c->registers().value("th", &value));
    EXPECT_EQ(value, "33") << "the plugged controller's presets stay";
    EXPECT_EQ(c->control(Out, Dnload, 0, 0, 1, "x").status, TransferResult::Status::Fail) << "no DFU in runtime";
}
