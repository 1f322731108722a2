#include "device/hidsettingsveil.h"

#include "device/settingsimage.h"

namespace
{

QString refused(const QString& command, const CVNHidSettingsLink::Answer& answer)
{
    return QStringLiteral("the controller failed \"%1\" (%2)").arg(command, answer.reason());
}

} // namespace

CVNSettingsTransfer CVNHidSettingsVeil::download(CVNDeviceHid& device)
{
    CVNHidSettingsLink link(device);
    CVNSettingsImage image;
    image.format = CVNSettingsImage::Format::Veil;
    image.header = CVNSettingsImage::veilHeader();

    const auto version = link.send(QStringLiteral("sversion"));
    if (!version.read)
        return CVNSettingsTransfer::failure(refused(QStringLiteral("sversion"), version));
    image.version = version.text;

    const auto begin = link.send(QStringLiteral("sbb"));
    if (begin.failed())
        return CVNSettingsTransfer::failure(refused(QStringLiteral("sbb"), begin));

    const auto length = link.send(QStringLiteral("sbl"));
    qint64 bytes = 0;
    if (length.failed() || !CVNSettingsImage::parseLength(length.text, CVNSettingsImage::VeilMaxLength, &bytes))
        return CVNSettingsTransfer::failure(
            QStringLiteral("the controller reported no usable configuration length (%1)").arg(length.reason()));
    image.length = length.text;

    const auto key = link.send(QStringLiteral("sbk"));
    if (key.failed())
        return CVNSettingsTransfer::failure(refused(QStringLiteral("sbk"), key));
    image.key = key.text;

    const int blocks = CVNSettingsImage::blockCount(bytes);
    for (int i = 0; i < blocks; ++i) {
        const QString command = QStringLiteral("sbg") + QString::number(i);
        const auto block = link.send(command);
        if (block.failed())
            return CVNSettingsTransfer::failure(
                QStringLiteral("block %1 of %2 failed: %3").arg(i).arg(blocks).arg(refused(command, block)));
        image.configuration.append(block.block);
    }

    CVNSettingsTransfer transfer;
    transfer.image = image.toBytes();
    // Closes the transfer; its answer says nothing about the data read.
    (void)link.send(QStringLiteral("sbe"));
    return transfer;
}

CVNSettingsTransfer CVNHidSettingsVeil::upload(CVNDeviceHid& device, const QByteArray& bytes)
{
    CVNSettingsImage image;
    QString error;
    qint64 length = 0;
    if (!CVNSettingsImage::fromBytes(bytes, CVNSettingsImage::Format::Veil, &image, &error)
        || !image.checkForUpload(&error, &length))
        return CVNSettingsTransfer::failure(error);

    CVNHidSettingsLink link(device);
    const auto version = link.send(QStringLiteral("sversion"));
    bool numeric = false;
    const int major = CVNSettingsImage::majorPart(version.text).toInt(&numeric);
    if (!version.read || !numeric || major != 2)
        return CVNSettingsTransfer::failure(
            QStringLiteral("version mismatch (the controller has settings version %1, the file \"%2\")")
                .arg(version.reason(), image.version));

    const auto begin = link.send(QStringLiteral("sbb"));
    if (begin.failed())
        return CVNSettingsTransfer::failure(refused(QStringLiteral("sbb"), begin));

    const int blocks = CVNSettingsImage::blockCount(length);
    for (int i = 0; i < blocks; ++i) {
        const QString command = QStringLiteral("sbs") + QString::number(i);
        const auto answer = link.send(command, image.block(i));
        if (answer.failed())
            return CVNSettingsTransfer::failure(
                QStringLiteral("block %1 of %2 failed: %3").arg(i).arg(blocks).arg(refused(command, answer)));
    }

    const auto end = link.sendText(QStringLiteral("sbe"), image.veilClosingText());
    if (end.failed())
        return CVNSettingsTransfer::failure(
            QStringLiteral("the controller did not take the configuration (%1)").arg(end.reason()));
    return CVNSettingsTransfer();
}
