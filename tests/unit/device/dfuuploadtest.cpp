// The firmware file check and the DFU download sequence against an
// in-process DFU device.
#include "device/dfusuffix.h"
#include "device/dfuupload.h"
#include "fakedfudevice.h"

#include <gtest/gtest.h>

namespace
{

constexpr quint16 VastaDfu = 3; // Vasta's runtime product id 2, plus 1

// Payload, then bcdDevice, idProduct, idVendor, bcdDFU, "UFD", bLength, CRC.
QByteArray dfuFile(int payloadSize, quint16 vendor = 0x3C2E, quint16 product = 2, quint8 length = 16)
{
    QByteArray file(payloadSize, 'p');
    for (quint16 field : { quint16(0x0206), product, vendor, quint16(0x0100) })
        file.append(char(field & 0xFF)).append(char(field >> 8));
    file.append("UFD").append(char(length));
    const quint32 crc = CVNDfuSuffix::crc32(file.constData(), file.size());
    for (int shift = 0; shift < 32; shift += 8)
        file.append(char((crc >> shift) & 0xFF));
    return file;
}

CVNDfuStatus status(quint8 state, quint8 code = 0, quint32 pollMs = 1)
{
    CVNDfuStatus record;
    record.state = state;
    record.status = code;
    record.pollTimeoutMs = pollMs;
    return record;
}

QList<CVNDfuStatus> endless(quint8 state, quint32 pollMs = 1)
{
    QList<CVNDfuStatus> answers;
    for (int i = 0; i < 100; ++i)
        answers.append(status(state, 0, pollMs));
    return answers;
}

} // namespace

TEST(DfuSuffix, WhatTheCheckRefusesAndAccepts)
{
    // The standard check value of "123456789" is 0xCBF43926 after the final inversion.
    EXPECT_EQ(CVNDfuSuffix::crc32("123456789", 9), ~0xCBF43926u);
    QByteArray flipped = dfuFile(100);
    flipped[10] = char(flipped.at(10) ^ 0x01);
    QByteArray noSignature = dfuFile(100);
    noSignature[noSignature.size() - 7] = 'X';
    const struct {
        const char* name;
        QByteArray file;
        quint16 dfuProduct;
        int payload; // -1: refused
    } cases[] = {
        { "right vendor and product", dfuFile(100), VastaDfu, 100 },
        { "any vendor, any product", dfuFile(100, 0xFFFF, 0xFFFF), 13, 100 },
        { "longer suffix", dfuFile(100, 0x3C2E, 2, 20), VastaDfu, 96 },
        { "a Lyn file for a Vasta", dfuFile(100, 0x3C2E, 4), VastaDfu, -1 },
        { "the DFU product id itself", dfuFile(100, 0x3C2E, 3), VastaDfu, -1 },
        { "another vendor", dfuFile(100, 0x1234), VastaDfu, -1 },
        { "a flipped byte", flipped, VastaDfu, -1 },
        { "no signature", noSignature, VastaDfu, -1 },
        { "stripped suffix", QByteArray(116, 'p'), VastaDfu, -1 },
        { "15 bytes", dfuFile(0).right(15), VastaDfu, -1 },
        { "suffix length 15", dfuFile(100, 0x3C2E, 2, 15), VastaDfu, -1 },
        { "suffix length beyond the file", dfuFile(0, 0x3C2E, 2, 17), VastaDfu, -1 },
        { "larger than any firmware", dfuFile(CVNDfuSuffix::MaxFileBytes), VastaDfu, -1 },
    };
    for (const auto& c : cases) {
        int payload = -1;
        EXPECT_EQ(CVNDfuSuffix::check(c.file, c.dfuProduct, &payload), c.payload >= 0) << c.name;
        EXPECT_EQ(payload, c.payload) << c.name;
    }
}

// Each row: the device as found or as it answers, the text the upload ends
// with and the DNLOAD requests sent (completion included). Stuck devices
// are given up within the limits.
TEST(DfuUpload, EveryOutcomeHasItsText)
{
    const auto at = [](const QString& request, std::function<void(FakeDfuDevice&)> change) {
        return [request, change](FakeDfuDevice& d) {
            d.onRequest = [&d, request, change](const QString& call) {
                if (call == request)
                    change(d);
            };
        };
    };
    const struct {
        const char* name;
        std::function<void(FakeDfuDevice&)> prepare;
        QString text;
        int downloads;
    } cases[] = {
        { "found in dfuERROR: cleared first", [](FakeDfuDevice& d) { d.state = FakeDfuDevice::Error; d.status = 3; },
            CVNDfuUpload::Succeeded, 4 },
        { "found mid-download: aborted first", [](FakeDfuDevice& d) { d.state = FakeDfuDevice::DnloadIdle; },
            CVNDfuUpload::Succeeded, 4 },
        { "still in runtime mode", [](FakeDfuDevice& d) { d.state = FakeDfuDevice::AppIdle; }, CVNDfuUpload::RuntimeMode, 0 },
        { "no answer at all", [](FakeDfuDevice& d) { d.gone = true; }, CVNDfuUpload::NoDevice, 0 },
        { "abort refused", [](FakeDfuDevice& d) { d.state = 9; d.failAbort = true; }, CVNDfuUpload::AbortFailed, 0 },
        { "clear refused", [](FakeDfuDevice& d) { d.state = FakeDfuDevice::Error; d.failClear = true; },
            CVNDfuUpload::ClearFailed, 0 },
        { "status bad, cleared", [](FakeDfuDevice& d) { d.script = { status(2, 5), status(2, 0) }; }, CVNDfuUpload::Succeeded, 4 },
        { "status stays bad", [](FakeDfuDevice& d) { d.script = { status(2, 5), status(2, 5) }; }, CVNDfuUpload::StatusNotOk, 0 },
        { "status bad, clear fails", [](FakeDfuDevice& d) { d.script = { status(2, 5) }; d.failClear = true; },
            CVNDfuUpload::CommunicationError, 0 },
        { "second block refused on the bus", [](FakeDfuDevice& d) { d.failDownloadAtBlock = 1; },
            "Error during upload,1024 bytes sent", 2 },
        { "block written badly", at("DNLOAD 1 1024", [](FakeDfuDevice& d) { d.script = { status(10, 3) }; }),
            "Firmware upload failed, state = 10, status = 3\n", 2 },
        { "completion refused", [](FakeDfuDevice& d) { d.failCompletion = true; }, CVNDfuUpload::CompletionFailed, 4 },
        { "a tolerant device back in dfuIDLE", at("DNLOAD 3 0", [](FakeDfuDevice& d) { d.script = { status(2) }; }),
            CVNDfuUpload::ManifestationUnknown, 4 },
        { "refused suffix: nothing sent", [](FakeDfuDevice& d) { d.script = { status(2) }; d.failDownloadAtBlock = 0; },
            CVNDfuUpload::SuffixCheckFailed, 0 },
        { "dfuERROR whatever is cleared", [](FakeDfuDevice& d) { d.script = endless(10); }, CVNDfuUpload::ClearFailed, 0 },
        { "dfuDNLOAD-IDLE whatever is aborted", [](FakeDfuDevice& d) { d.script = endless(5); }, CVNDfuUpload::AbortFailed, 0 },
        { "busy for ever", at("DNLOAD 0 1024", [](FakeDfuDevice& d) { d.script = endless(4); }),
            CVNDfuUpload::StatusPollFailed, 1 },
        { "an hour per poll", at("DNLOAD 0 1024", [](FakeDfuDevice& d) { d.script = endless(4, 3600000); }),
            CVNDfuUpload::StatusPollFailed, 1 },
        { "manifesting for ever", at("DNLOAD 3 0", [](FakeDfuDevice& d) { d.script = endless(7); }),
            CVNDfuUpload::ManifestationUnknown, 4 },
    };
    CVNDfuUploadLimits limits;
    limits.maxIdleRounds = 3;
    limits.maxStatusPolls = 20;
    limits.maxPollTimeoutMs = 1000;
    limits.phaseBudgetMs = 5000;
    for (const auto& c : cases) {
        FakeDfuDevice device;
        c.prepare(device);
        CVNDfuUpload upload(device, VastaDfu, limits);
        qint64 slept = 0;
        upload.setSleep([&slept](int ms) { return (slept += ms) >= 0; });
        const QByteArray file = QByteArray(c.name).startsWith("refused") ? dfuFile(3000, 0x3C2E, 12) : dfuFile(3000);
        const CVNDfuUploadResult result = upload.run(file);
        EXPECT_EQ(result.text, c.text) << c.name;
        EXPECT_EQ(result.succeeded, c.text == CVNDfuUpload::Succeeded) << c.name;
        EXPECT_EQ(device.count("DNLOAD"), c.downloads) << c.name;
        EXPECT_LE(device.count("GETSTATUS"), 30) << c.name;
        EXPECT_LE(slept, limits.phaseBudgetMs + 3 * limits.maxPollTimeoutMs) << c.name;
    }
}

TEST(DfuUpload, TakenAwayWhileManifestingIsTheResetOnlyWhenTheDeviceWent)
{
    // The service drops a device that resets, which cancels the upload
    // right after a status answer: a reset is success, a device still
    // manifesting is not.
    for (const bool resets : { true, false }) {
        FakeDfuDevice device;
        bool cancelled = false;
        device.onRequest = [&](const QString& request) {
            if (request == QLatin1String("DNLOAD 2 0") && !resets)
                device.script = endless(FakeDfuDevice::Manifest);
            if (request == QLatin1String("GETSTATUS") && device.count("DNLOAD 2 0") > 0)
                cancelled = true;
        };
        CVNDfuUpload upload(device, VastaDfu);
        upload.setSleep([](int) { return true; });
        upload.setCancelled([&cancelled] { return cancelled; });
        EXPECT_EQ(upload.run(dfuFile(2048)).text, resets ? CVNDfuUpload::Succeeded : CVNDfuUpload::ManifestationUnknown)
            << (resets ? "the device reset" : "the device still manifesting");
    }
}

TEST(DfuUpload, TwoKilobytesAreTwoBlocksThenCompletionAsBlockTwo)
{
    FakeDfuDevice device;
    device.pollMs = 3;
    CVNDfuUpload upload(device, VastaDfu);
    qint64 slept = 0;
    upload.setSleep([&slept](int ms) { return (slept += ms) >= 0; });
    EXPECT_EQ(upload.run(dfuFile(2048)).text, CVNDfuUpload::Succeeded);
    EXPECT_EQ(device.calls.filter("DNLOAD"), (QStringList { "DNLOAD 0 1024", "DNLOAD 1 1024", "DNLOAD 2 0" }));
    EXPECT_GT(slept, 0) << "the device's poll timeouts are kept";
}
