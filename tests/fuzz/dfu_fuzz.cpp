// Feeds arbitrary firmware files through the DFU suffix check, arbitrary
// bytes through the status record reader, and runs whole uploads against a
// device whose every status answer comes from the input: whatever it
// answers, the upload ends, within its bounds, with one of its texts.
#include "device/dfusuffix.h"
#include "device/dfuupload.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

// Answers from the fuzzer's bytes; requests fail when it says so.
class ScriptedDevice : public CVNDfuOperations
{
public:
    explicit ScriptedDevice(FuzzedDataProvider& input) : m_input(input) {}

    bool getStatus(CVNDfuStatus& record) override
    {
        if (!next())
            return false;
        const std::string bytes = m_input.ConsumeBytesAsString(CVNDfuStatus::WireSize);
        return CVNDfuStatus::parse(QByteArray(bytes.data(), int(bytes.size())), &record);
    }
    bool clearStatus() override { return next(); }
    bool abort() override { return next(); }
    bool download(quint16, const QByteArray& data) override
    {
        if (data.size() > CVNDfuUpload::BlockSize)
            std::abort();
        return next();
    }
    bool detach(quint16) override { return next(); }

    int requests = 0;

private:
    bool next()
    {
        ++requests;
        return m_input.remaining_bytes() > 0 && m_input.ConsumeBool();
    }
    FuzzedDataProvider& m_input;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const quint16 productType = input.ConsumeIntegral<quint16>();
    const std::string fileBytes = input.ConsumeRandomLengthString(8192);
    const QByteArray file(fileBytes.data(), int(fileBytes.size()));

    int payload = -1;
    if (CVNDfuSuffix::check(file, productType, &payload) && (payload < 0 || payload > file.size()))
        std::abort();
    CVNDfuSuffix suffix;
    (void)CVNDfuSuffix::read(file, &suffix);

    CVNDfuUploadLimits limits;
    limits.maxStatusPolls = 50;
    ScriptedDevice device(input);
    CVNDfuUpload upload(device, productType, limits);
    qint64 slept = 0;
    upload.setSleep([&slept](int ms) {
        if (ms < 0 || ms > 5000)
            std::abort();
        slept += ms;
        return true;
    });
    const CVNDfuUploadResult result = upload.run(file);
    if (result.text.isEmpty() || (result.succeeded != (result.text == CVNDfuUpload::Succeeded)))
        std::abort();
    // Every wait and every request is bounded.
    if (device.requests > 8 * 3 + 4 + (file.size() / CVNDfuUpload::BlockSize + 2) * 52)
        std::abort();
    return 0;
}
