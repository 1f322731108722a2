// The firmware file check and the DFU download sequence against an
// in-process DFU device.
#include "device/devicedfu.h"
#include "device/dfusuffix.h"
#include "device/dfuupload.h"
#include "device/dfuuploadjob.h"
#include "fakedfudevice.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <future>

namespace
{

constexpr quint16 VastaDfu = 3; // Vasta's runtime product id 2, plus 1

// A DFU file as a suffix writer makes it: payload, then bcdDevice, idProduct,
// idVendor, bcdDFU, "UFD", bLength and the CRC over everything before it.
QByteArray dfuFile(const QByteArray& payload, quint16 vendor = 0x3C2E, quint16 product = 2, quint8 length = 16)
{
    QByteArray file = payload;
    const quint16 fields[] = { 0x0206, product, vendor, 0x0100 };
    for (quint16 field : fields) {
        file.append(char(field & 0xFF));
        file.append(char(field >> 8));
    }
    file.append("UFD");
    file.append(char(length));
    const quint32 crc = CVNDfuSuffix::crc32(file.constData(), file.size());
    for (int shift = 0; shift < 32; shift += 8)
        file.append(char((crc >> shift) & 0xFF));
    return file;
}

QByteArray payloadOf(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + 3) & 0xFF);
    return bytes;
}

CVNDfuStatus status(quint8 state, quint8 code = 0, quint32 pollMs = 0)
{
    CVNDfuStatus record;
    record.state = state;
    record.status = code;
    record.pollTimeoutMs = pollMs;
    return record;
}

struct UploadRun {
    CVNDfuUploadResult result;
    qint64 sleptMs = 0;
};

UploadRun upload(FakeDfuDevice& device, const QByteArray& file, CVNDfuUploadLimits limits = {})
{
    UploadRun run;
    CVNDfuUpload upload(device, VastaDfu, limits);
    upload.setSleep([&run](int ms) {
        run.sleptMs += ms;
        return true;
    });
    run.result = upload.run(file);
    return run;
}

} // namespace

TEST(DfuSuffix, CrcHasNoFinalInversion)
{
    // The standard check value of "123456789" is 0xCBF43926 after the
    // final inversion.
    EXPECT_EQ(CVNDfuSuffix::crc32("123456789", 9), ~0xCBF43926u);
}

TEST(DfuSuffix, WhatTheCheckRefusesAndAccepts)
{
    const QByteArray good = dfuFile(payloadOf(100));
    QByteArray flipped = good;
    flipped[10] = char(flipped.at(10) ^ 0x01);
    QByteArray noSignature = good;
    noSignature[good.size() - 7] = 'X';
    const struct {
        const char* name;
        QByteArray file;
        quint16 dfuProduct;
        bool accepted;
    } cases[] = {
        { "right vendor and product", good, VastaDfu, true },
        { "any vendor, any product", dfuFile(payloadOf(100), 0xFFFF, 0xFFFF), 13, true },
        { "suffix only", dfuFile(QByteArray()), VastaDfu, true },
        { "a Lyn file for a Vasta", dfuFile(payloadOf(100), 0x3C2E, 4), VastaDfu, false },
        { "the DFU product id itself", dfuFile(payloadOf(100), 0x3C2E, 3), VastaDfu, false },
        { "another vendor", dfuFile(payloadOf(100), 0x1234), VastaDfu, false },
        { "a flipped byte", flipped, VastaDfu, false },
        { "no signature", noSignature, VastaDfu, false },
        { "stripped suffix", payloadOf(116), VastaDfu, false },
        { "15 bytes", good.right(15), VastaDfu, false },
        { "empty", QByteArray(), VastaDfu, false },
        { "suffix length 15", dfuFile(payloadOf(100), 0x3C2E, 2, 15), VastaDfu, false },
        { "suffix length beyond the file", dfuFile(QByteArray(), 0x3C2E, 2, 17), VastaDfu, false },
        { "larger than any firmware", dfuFile(QByteArray(CVNDfuSuffix::MaxFileBytes, 'x')), VastaDfu, false },
    };
    for (const auto& c : cases) {
        int payload = -1;
        EXPECT_EQ(CVNDfuSuffix::check(c.file, c.dfuProduct, &payload), c.accepted) << c.name;
        if (c.accepted)
            EXPECT_EQ(payload, c.file.size() - 16) << c.name;
    }
    // A longer suffix keeps more of the file out of the payload.
    int payload = 0;
    ASSERT_TRUE(CVNDfuSuffix::check(dfuFile(payloadOf(100), 0x3C2E, 2, 20), VastaDfu, &payload));
    EXPECT_EQ(payload, 96);
}

TEST(DfuStatusRecord, SixBytesLittleEndianAndNothingShorter)
{
    CVNDfuStatus record;
    ASSERT_TRUE(CVNDfuStatus::parse(QByteArray::fromHex("03102700" "0a05"), &record));
    EXPECT_EQ(record.status, 3);
    EXPECT_EQ(record.pollTimeoutMs, 0x2710u);
    EXPECT_EQ(record.state, 10);
    EXPECT_EQ(record.stringIndex, 5);
    EXPECT_EQ(record.toBytes(), QByteArray::fromHex("031027000a05"));

    CVNDfuStatus untouched;
    EXPECT_FALSE(CVNDfuStatus::parse(QByteArray::fromHex("0010270a05"), &untouched));
    EXPECT_EQ(untouched.status, CVNDfuStatus::StatusUnknown);
    EXPECT_EQ(untouched.state, CVNDfuStatus::Error);
}

TEST(DfuUpload, BlocksOfAKilobyteThenCompletionAndManifestation)
{
    FakeDfuDevice device;
    device.pollMs = 3;
    const QByteArray payload = payloadOf(2048);
    const UploadRun run = upload(device, dfuFile(payload));
    EXPECT_EQ(run.result.text, CVNDfuUpload::Succeeded);
    EXPECT_TRUE(run.result.succeeded);
    EXPECT_EQ(device.blocks, (QList<quint16> { 0, 1 }));
    EXPECT_EQ(device.image, payload) << "the suffix stays on the host";
    EXPECT_EQ(device.calls.filter("DNLOAD"), (QStringList { "DNLOAD 0 1024", "DNLOAD 1 1024", "DNLOAD 2 0" }));
    EXPECT_GT(run.sleptMs, 0) << "the device's poll timeouts are kept";

    FakeDfuDevice odd;
    EXPECT_EQ(upload(odd, dfuFile(payloadOf(1500))).result.text, CVNDfuUpload::Succeeded);
    EXPECT_EQ(odd.calls.filter("DNLOAD"), (QStringList { "DNLOAD 0 1024", "DNLOAD 1 476", "DNLOAD 2 0" }));
}

// Each row: the device as found or as it answers, and the text it ends with.
TEST(DfuUpload, EveryOutcomeHasItsText)
{
    const QByteArray file = dfuFile(payloadOf(3000));
    const struct {
        const char* name;
        std::function<void(FakeDfuDevice&)> prepare;
        QString text;
        int downloads; // DNLOAD requests sent, completion included
    } cases[] = {
        { "found in dfuERROR: cleared first", [](FakeDfuDevice& d) { d.state = FakeDfuDevice::Error; d.status = 3; },
            CVNDfuUpload::Succeeded, 4 },
        { "found mid-download: aborted first", [](FakeDfuDevice& d) { d.state = FakeDfuDevice::DnloadIdle; },
            CVNDfuUpload::Succeeded, 4 },
        { "still in runtime mode", [](FakeDfuDevice& d) { d.state = FakeDfuDevice::AppIdle; },
            CVNDfuUpload::RuntimeMode, 0 },
        { "no answer at all", [](FakeDfuDevice& d) { d.gone = true; }, CVNDfuUpload::NoDevice, 0 },
        { "abort refused", [](FakeDfuDevice& d) { d.state = 9; d.failAbort = true; }, CVNDfuUpload::AbortFailed, 0 },
        { "clear refused", [](FakeDfuDevice& d) { d.state = FakeDfuDevice::Error; d.failClear = true; },
            CVNDfuUpload::ClearFailed, 0 },
        { "idle but status bad, cleared",
            [](FakeDfuDevice& d) { d.script = { status(2, 5), status(2, 0) }; }, CVNDfuUpload::Succeeded, 4 },
        { "idle, status stays bad",
            [](FakeDfuDevice& d) { d.script = { status(2, 5), status(2, 5) }; }, CVNDfuUpload::StatusNotOk, 0 },
        { "idle, status bad, clear fails",
            [](FakeDfuDevice& d) { d.script = { status(2, 5) }; d.failClear = true; },
            CVNDfuUpload::CommunicationError, 0 },
        { "second block refused on the bus", [](FakeDfuDevice& d) { d.failDownloadAtBlock = 1; },
            QStringLiteral("Error during upload,1024 bytes sent"), 2 },
        { "block written badly",
            [](FakeDfuDevice& d) {
                d.onRequest = [&d](const QString& call) {
                    if (call == "DNLOAD 1 1024")
                        d.script = { status(FakeDfuDevice::Error, 3) };
                };
            },
            QStringLiteral("Firmware upload failed, state = 10, status = 3\n"), 2 },
        { "completion refused", [](FakeDfuDevice& d) { d.failCompletion = true; }, CVNDfuUpload::CompletionFailed, 4 },
        { "a tolerant device back in dfuIDLE",
            [](FakeDfuDevice& d) {
                d.onRequest = [&d](const QString& call) {
                    if (call == "DNLOAD 3 0")
                        d.script = { status(FakeDfuDevice::Idle) };
                };
            },
            CVNDfuUpload::ManifestationUnknown, 4 },
    };
    for (const auto& c : cases) {
        FakeDfuDevice device;
        c.prepare(device);
        const UploadRun run = upload(device, file);
        EXPECT_EQ(run.result.text, c.text) << c.name;
        EXPECT_EQ(run.result.succeeded, c.text == CVNDfuUpload::Succeeded) << c.name;
        EXPECT_EQ(device.count("DNLOAD"), c.downloads) << c.name;
    }

    // A file refused by its suffix sends nothing, whatever the device's state.
    FakeDfuDevice device;
    EXPECT_EQ(upload(device, dfuFile(payloadOf(3000), 0x3C2E, 12)).result.text, CVNDfuUpload::SuffixCheckFailed);
    EXPECT_EQ(device.count("DNLOAD"), 0);
}

// A device that stays in one state, or asks for absurd waits, ends the
// upload within the limits rather than holding it.
TEST(DfuUpload, StuckDevicesAreGivenUp)
{
    CVNDfuUploadLimits limits;
    limits.maxIdleRounds = 3;
    limits.maxStatusPolls = 20;
    limits.maxPollTimeoutMs = 1000;
    limits.phaseBudgetMs = 5000;
    const QByteArray file = dfuFile(payloadOf(10));
    const auto endless = [](quint8 state, quint32 pollMs = 1) {
        QList<CVNDfuStatus> answers;
        for (int i = 0; i < 200; ++i)
            answers.append(status(state, 0, pollMs));
        return answers;
    };
    const struct {
        const char* name;
        std::function<void(FakeDfuDevice&)> prepare;
        QString text;
        int statusRequests;
        qint64 maxSleptMs;
    } cases[] = {
        { "dfuERROR whatever is cleared",
            [&](FakeDfuDevice& d) { d.script = endless(FakeDfuDevice::Error); }, CVNDfuUpload::ClearFailed, 4, 4 },
        { "dfuDNLOAD-IDLE whatever is aborted",
            [&](FakeDfuDevice& d) { d.script = endless(FakeDfuDevice::DnloadIdle); }, CVNDfuUpload::AbortFailed, 4, 4 },
        { "busy writing a block forever",
            [&](FakeDfuDevice& d) {
                d.onRequest = [&](const QString& call) {
                    if (call.startsWith("DNLOAD 0"))
                        d.script = endless(FakeDfuDevice::Busy);
                };
            },
            CVNDfuUpload::StatusPollFailed, 1 + 20, 20 },
        { "asking for an hour per poll",
            [&](FakeDfuDevice& d) {
                d.onRequest = [&](const QString& call) {
                    if (call.startsWith("DNLOAD 0"))
                        d.script = endless(FakeDfuDevice::Busy, 3600000);
                };
            },
            CVNDfuUpload::StatusPollFailed, 1 + 6, 5000 },
        { "manifesting forever",
            [&](FakeDfuDevice& d) {
                d.onRequest = [&](const QString& call) {
                    if (call == "DNLOAD 1 0")
                        d.script = endless(FakeDfuDevice::Manifest);
                };
            },
            CVNDfuUpload::ManifestationUnknown, 2 + 20, 20 },
    };
    for (const auto& c : cases) {
        FakeDfuDevice device;
        c.prepare(device);
        const UploadRun run = upload(device, file, limits);
        EXPECT_EQ(run.result.text, c.text) << c.name;
        EXPECT_EQ(device.count("GETSTATUS"), c.statusRequests) << c.name;
        EXPECT_LE(run.sleptMs, c.maxSleptMs) << c.name;
    }
}

// Whatever a broken device answers, the upload ends with one of its texts.
TEST(DfuUpload, GarbageStatusRecordsEndWithAKnownText)
{
    const QStringList texts { CVNDfuUpload::NoDevice, CVNDfuUpload::RuntimeMode, CVNDfuUpload::AbortFailed,
        CVNDfuUpload::ClearFailed, CVNDfuUpload::CommunicationError, CVNDfuUpload::StatusNotOk,
        CVNDfuUpload::StatusPollFailed, CVNDfuUpload::Succeeded, CVNDfuUpload::ManifestationUnknown };
    QRandomGenerator random(14);
    const QByteArray file = dfuFile(payloadOf(2500));
    for (int round = 0; round < 300; ++round) {
        FakeDfuDevice device;
        for (int i = 0; i < 40; ++i) {
            QByteArray bytes(6, '\0');
            for (char& b : bytes)
                b = char(random.bounded(256));
            // Mostly states near the real ones, so that every branch is reached.
            bytes[4] = char(random.bounded(12));
            CVNDfuStatus record;
            ASSERT_TRUE(CVNDfuStatus::parse(bytes, &record));
            device.script.append(record);
        }
        const UploadRun run = upload(device, file);
        EXPECT_TRUE(texts.contains(run.result.text) || run.result.text.startsWith("Firmware upload failed, state = ")
            || run.result.text.startsWith(CVNDfuUpload::UploadError)) << qPrintable(run.result.text);
        EXPECT_LE(run.sleptMs, qint64(5000) * (8 + 2 * 500));
    }
}

// The job: the upload on a thread of its own, stopped when the job goes.
TEST(DfuUploadJob, RunsElsewhereAndStopsWhenDestroyed)
{
    auto device = std::make_shared<FakeDfuDevice>();
    RequestGate gate;
    device->onRequest = gate.holdAt("DNLOAD 1");
    std::promise<CVNDfuUploadResult> ended;
    auto job = std::make_unique<CVNDfuUploadJob>(device, VastaDfu, dfuFile(payloadOf(4000)),
        [&ended](const CVNDfuUploadResult& result) { ended.set_value(result); });
    ASSERT_TRUE(gate.waitReached(5000));
    EXPECT_TRUE(job->isRunning());
    job->cancel();
    gate.release();
    job.reset();
    const CVNDfuUploadResult result = ended.get_future().get();
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(device->count("DNLOAD"), 2) << "nothing sent after the stop";

    // Through the control pipe of a DFU interface, as the service runs it.
    auto through = std::make_shared<FakeDfuDevice>();
    CVNDeviceParent parent(QStringLiteral("0200000001A3"), QStringLiteral("2.005"), VastaDfu);
    auto* dfu = new CVNDeviceDfu(&parent, std::make_unique<FakeDfuHandle>(through));
    parent.addChild(dfu);
    std::promise<CVNDfuUploadResult> done;
    CVNDfuUploadJob piped(dfu->channel(), dfu->productType(), dfuFile(payloadOf(1100)),
        [&done](const CVNDfuUploadResult& result) { done.set_value(result); });
    EXPECT_EQ(done.get_future().get().text, CVNDfuUpload::Succeeded);
    EXPECT_EQ(through->calls.filter("DNLOAD"), (QStringList { "DNLOAD 0 1024", "DNLOAD 1 76", "DNLOAD 2 0" }));
    // A closed device answers nothing.
    parent.close();
    CVNDfuStatus record;
    EXPECT_FALSE(dfu->getStatus(record));
}
