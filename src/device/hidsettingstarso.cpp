#include "device/hidsettingstarso.h"

#include "device/settingsimage.h"

#include <QDeadlineTimer>
#include <QThread>

namespace
{

const QString WaitAnswer = QStringLiteral("Wait");
const QString FinishedAnswer = QStringLiteral("Finished");

QString refused(const QString& command, const CVNHidSettingsLink::Answer& answer)
{
    return QStringLiteral("the controller failed \"%1\" (%2)").arg(command, answer.reason());
}

// Sends the command again and again while the controller answers "Wait",
// within the bound; the argument block stays the one given.
bool pollWhileWaiting(CVNHidSettingsLink& link, const QString& command, const QByteArray& block,
                      const CVNHidSettingsTarso::WaitLimits& limits, CVNHidSettingsLink::Answer* last, QString* error)
{
    QDeadlineTimer deadline(limits.phaseTimeoutMs);
    for (;;) {
        *last = link.send(command, block);
        if (!last->read) {
            *error = refused(command, *last);
            return false;
        }
        if (last->text != WaitAnswer)
            return true;
        if (deadline.hasExpired()) {
            *error = QStringLiteral("the controller still answered \"Wait\" to \"%1\" after %2 ms")
                         .arg(command)
                         .arg(limits.phaseTimeoutMs);
            return false;
        }
        if (limits.pauseMs > 0)
            QThread::msleep(ulong(limits.pauseMs));
    }
}

} // namespace

QString CVNHidSettingsTarso::blockCommand(const QString& stem, int index)
{
    return stem + QStringLiteral("%1").arg(index * CVNSettingsImage::BlockSize, 4, 10, QLatin1Char('0'));
}

CVNSettingsTransfer CVNHidSettingsTarso::download(CVNDeviceHid& device)
{
    CVNHidSettingsLink link(device);
    CVNSettingsImage image;
    image.format = CVNSettingsImage::Format::Tarso;
    image.header = CVNSettingsImage::tarsoHeader();

    const auto version = link.send(QStringLiteral("sversion"));
    if (!version.read)
        return CVNSettingsTransfer::failure(refused(QStringLiteral("sversion"), version));
    image.version = version.text;

    const auto begin = link.send(QStringLiteral("sbsb0000"));
    if (begin.failed())
        return CVNSettingsTransfer::failure(refused(QStringLiteral("sbsb0000"), begin));

    const auto size = link.send(QStringLiteral("sbss0000"));
    qint64 bytes = 0;
    if (size.failed()
        || !CVNSettingsImage::parseLength(size.text, CVNSettingsImage::maxLength(image.format), &bytes))
        return CVNSettingsTransfer::failure(
            QStringLiteral("the controller reported no usable configuration size (%1, at most %2 bytes)")
                .arg(size.reason())
                .arg(CVNSettingsImage::maxLength(image.format)));
    image.length = size.text;

    const int blocks = CVNSettingsImage::uploadBlockCount(image.format, bytes);
    for (int i = 0; i < blocks; ++i) {
        const QString command = blockCommand(QStringLiteral("sbsr"), i);
        const auto block = link.send(command);
        // The first block is taken as it comes; only a failed transfer stops it.
        if (i == 0 ? !block.read : block.failed())
            return CVNSettingsTransfer::failure(
                QStringLiteral("block %1 of %2 failed: %3").arg(i).arg(blocks).arg(refused(command, block)));
        image.configuration.append(block.block);
    }

    CVNSettingsTransfer transfer;
    transfer.image = image.toBytes();
    (void)link.send(QStringLiteral("sbse0000"));
    return transfer;
}

CVNSettingsTransfer CVNHidSettingsTarso::upload(CVNDeviceHid& device, const QByteArray& bytes,
                                                const WaitLimits& limits)
{
    CVNSettingsImage image;
    QString error;
    qint64 length = 0;
    if (!CVNSettingsImage::fromBytes(bytes, CVNSettingsImage::Format::Tarso, &image, &error)
        || !image.checkForUpload(&error, &length))
        return CVNSettingsTransfer::failure(error);

    CVNHidSettingsLink link(device);
    const auto version = link.send(QStringLiteral("sversion"));
    if (!version.read || CVNSettingsImage::majorPart(version.text) != CVNSettingsImage::majorPart(image.version))
        return CVNSettingsTransfer::failure(
            QStringLiteral("version mismatch (the controller has settings version %1, the file \"%2\")")
                .arg(version.reason(), image.version));

    const auto begin = link.send(QStringLiteral("sblb0000"));
    if (begin.failed())
        return CVNSettingsTransfer::failure(refused(QStringLiteral("sblb0000"), begin));

    const int blocks = CVNSettingsImage::uploadBlockCount(image.format, length);
    QByteArray lastBlock;
    for (int i = 0; i < blocks; ++i) {
        const QString command = blockCommand(QStringLiteral("sblw"), i);
        lastBlock = image.block(i);
        const auto answer = link.send(command, lastBlock);
        // The answer to the first block is not examined, only its transfer.
        if (i == 0 ? !answer.read : answer.failed())
            return CVNSettingsTransfer::failure(
                QStringLiteral("block %1 of %2 failed: %3").arg(i).arg(blocks).arg(refused(command, answer)));
    }

    // Verification and loading take a while; both polls keep sending the
    // last block, as the controller expects.
    CVNHidSettingsLink::Answer last;
    if (!pollWhileWaiting(link, QStringLiteral("sblt0000"), lastBlock, limits, &last, &error)
        || !pollWhileWaiting(link, QStringLiteral("sble"), lastBlock, limits, &last, &error))
        return CVNSettingsTransfer::failure(error);
    if (last.text != FinishedAnswer)
        return CVNSettingsTransfer::failure(
            QStringLiteral("the controller did not finish loading the configuration (%1)").arg(last.reason()));
    return CVNSettingsTransfer();
}
