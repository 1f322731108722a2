// Feeds arbitrary bytes to the settings file reader in both layouts. An
// image that reads must write back to exactly the same bytes, and the
// upload checks must hold their promises: a length within the layout's
// bounds and a configuration that fits its blocks.
#include "device/settingsimage.h"

#include <cstdlib>

namespace {

void check(const QByteArray& bytes, CVNSettingsImage::Format format)
{
    CVNSettingsImage image;
    QString error;
    if (!CVNSettingsImage::fromBytes(bytes, format, &image, &error)) {
        if (error.isEmpty())
            std::abort();
        return;
    }
    if (image.toBytes() != bytes)
        std::abort();
    qint64 length = -1;
    if (!image.checkForUpload(&error, &length))
        return;
    const int blocks = CVNSettingsImage::uploadBlockCount(format, length);
    if (length < 0 || length > CVNSettingsImage::maxLength(format) || image.configuration.size() < length
        || image.configuration.size() > qint64(blocks) * CVNSettingsImage::BlockSize)
        std::abort();
    if (format == CVNSettingsImage::Format::Veil && image.veilClosingText().toLatin1().size() >= CVNSettingsImage::BlockSize)
        std::abort();
    for (int i = 0; i < blocks; ++i) {
        if (image.block(i).size() != CVNSettingsImage::BlockSize)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    check(bytes, CVNSettingsImage::Format::Veil);
    check(bytes, CVNSettingsImage::Format::Tarso);
    return 0;
}
