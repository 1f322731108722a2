// The simulator's DFU mode: the DFU 1.1 state machine as a host meets it on
// the control pipe, its faults, and the round from HID to DFU mode and back
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

enum { Out = 0x21, In = 0xA1, Dnload = 1, GetStatus = 3, ClrStatus = 4 };

// State and status of a get-status, or -1 when it stalled.
QPair<int, int> status(CVNDfuFunction& dfu)
{
    const TransferResult r = dfu.control(In, GetStatus, 0, 0, 6, {});
    return r.status == TransferResult::Status::Ok ? qMakePair(int(quint8(r.data[4])), int(quint8(r.data[0])))
                                                   : qMakePair(-1, -1);
}

bool out(CVNDfuFunction& dfu, int request, int value = 0, const QByteArray& data = {})
{
    return dfu.control(Out, request, value, 0, data.size(), data).status == TransferResult::Status::Ok;
}

// A block as a host sends it: download, status, the wait it asks for, status.
int block(CVNDfuFunction& dfu, int number, const QByteArray& data)
{
    if (!out(dfu, Dnload, number, data))
        return -1;
    const int first = status(dfu).first;
    if (first != CVNDfuFunction::DnBusy)
        return first;
    QThread::msleep(CVNDfuFunction::BlockPollMs);
    return status(dfu).first;
}

}  // namespace

TEST(DfuFunction, RequestsEachStateRefusesFaultsAndTheImageRelease)
{
    CVNDfuFunction dfu;
    EXPECT_FALSE(out(dfu, Dnload, 0)) << "ending a download that never began";
    EXPECT_EQ(status(dfu), qMakePair(int(CVNDfuFunction::Error), int(CVNDfuFunction::ErrStalledPacket)));
    EXPECT_TRUE(out(dfu, ClrStatus));
    EXPECT_FALSE(out(dfu, ClrStatus)) << "clearing without an error";
    EXPECT_TRUE(out(dfu, ClrStatus));
    ASSERT_TRUE(out(dfu, Dnload, 0, "a"));
    EXPECT_EQ(status(dfu).first, CVNDfuFunction::DnBusy);
    EXPECT_EQ(status(dfu).first, -1) << "asked again before the poll timeout passed";
    EXPECT_TRUE(out(dfu, ClrStatus));
    EXPECT_EQ(block(dfu, 0, "a"), CVNDfuFunction::DnloadIdle);
    EXPECT_FALSE(out(dfu, Dnload, 5, "out of order"));
    EXPECT_EQ(dfu.status(), CVNDfuFunction::ErrAddress);
    EXPECT_TRUE(out(dfu, ClrStatus));
    EXPECT_FALSE(out(dfu, Dnload, 0, QByteArray(CVNDfuFunction::TransferSize + 1, 'x'))) << "beyond wTransferSize";
    EXPECT_EQ(dfu.control(In, GetStatus, 0, 1, 6, {}).status, TransferResult::Status::Fail) << "interface 1";

    // Faults: a refused block; a device that leaves mid-block; usage errors.
    QString error;
    dfu.setState(CVNDfuFunction::Idle);
    ASSERT_TRUE(applyDfuFault(dfu, {"refuse", "0"}, &error) && applyDfuFault(dfu, {"vanish", "1"}, &error));
    EXPECT_EQ(block(dfu, 0, "a"), CVNDfuFunction::Error);
    EXPECT_EQ(dfu.status(), CVNDfuFunction::ErrWrite);
    dfu.setState(CVNDfuFunction::Idle);
    EXPECT_EQ(block(dfu, 0, "a"), CVNDfuFunction::DnloadIdle);
    EXPECT_EQ(dfu.control(Out, Dnload, 1, 0, 1, "z").status, TransferResult::Status::Vanished);
    for (const QStringList& words : QList<QStringList>{{"refuse"}, {"refuse", "65536"}, {"state", "limbo"}, {"melt", "1"}})
        EXPECT_FALSE(applyDfuFault(dfu, words, &error)) << qPrintable(words.join(' '));

    quint16 release = 0;
    EXPECT_TRUE(imageRelease("corvane-firmware 1a.0ff\nbody", &release));
    EXPECT_EQ(release, 0x1AFF);
    for (const QByteArray& image : {QByteArray("corvane-firmware 2.006"), QByteArray("corvane-firmware 2.6\n"),
                                    QByteArray("\ncorvane-firmware 2.006\n"), QByteArray()})
        EXPECT_FALSE(imageRelease(image, &release)) << image.constData();
}

// What the end-to-end update does not show: when the controller leaves, that
// it changes once, that the boot loader has no HID function, and that the
// new firmware keeps the plugged controller's presets.
TEST(VirtualControllerDfu, LeavesOnceAndComesBackWithItsPresets)
{
    ControllerSetup setup;
    QString error;
    ASSERT_TRUE(parseControllerSetup(QStringLiteral("vasta:0200000001A3:2.005,th=33"), &setup, &error));
    std::unique_ptr<CVNVirtualController> c = CVNVirtualController::create(setup, &error);
    QList<int> changes;
    c->setBusHook([&changes](int delayMs) { changes.append(delayMs); });
    QByteArray report(CommandReportSize, '\0');
    report[0] = char(CommandReportId);
    report.replace(1, 6, "dreset").replace(9, 3, "dfu");
    ASSERT_EQ(c->setFeature(report).status, TransferResult::Status::Ok);
    ASSERT_EQ(c->getFeature(CommandReportId, CommandReportSize).status, TransferResult::Status::Ok);
    EXPECT_EQ(changes, (QList<int>{CVNVirtualController::DetachFallbackMs, CVNVirtualController::DetachDelayMs}));
    ASSERT_TRUE(c->applyBusChange());
    EXPECT_FALSE(c->applyBusChange()) << "one change, however often it was asked for";
    EXPECT_EQ(c->setFeature(report).status, TransferResult::Status::Fail) << "no HID in DFU mode";

    CVNDfuFunction& dfu = *c->dfu();
    EXPECT_EQ(block(dfu, 0, "corvane-firmware 2.006\n"), CVNDfuFunction::DnloadIdle);
    ASSERT_TRUE(out(dfu, Dnload, 1));
    EXPECT_EQ(status(dfu).first, CVNDfuFunction::Manifest);
    ASSERT_TRUE(c->applyBusChange());
    QString th;
    ASSERT_TRUE(c->registers().value("th", &th));
    EXPECT_EQ(th, "33");
    EXPECT_EQ(c->interfaces().first().release, 0x0206);
}
