#include "properties/hidblockexchange.h"

#include "device/devicehid.h"
#include "properties/sensorlimits.h"

int CVNHidBlockExchange::blockCount(int cells)
{
    if (cells < 0 || cells > CVNSensorLimits::MaxBlockCells)
        return 0;
    return cells / CVNSensorLimits::BlockCells + 1;
}

int CVNHidBlockExchange::gridBlocks(const QVariantList& arguments)
{
    bool widthOk = false;
    bool heightOk = false;
    const int width = arguments.value(0).toInt(&widthOk);
    const int height = arguments.value(1).toInt(&heightOk);
    if (!widthOk || !heightOk || width <= 0 || height <= 0 || width > CVNSensorLimits::MaxGridSide
        || height > CVNSensorLimits::MaxGridSide)
        return 0;
    return blockCount(width * height);
}

QByteArray CVNHidBlockExchange::header(const char* tag, int index)
{
    return QByteArray(tag, 2) + QByteArray::number(index).rightJustified(2, '0');
}

bool CVNHidBlockExchange::isRefusal(const QByteArray& answer, const QByteArray& header, QString* text)
{
    if (answer.startsWith(header))
        return false;
    const int end = answer.indexOf('\0');
    const QString words = QString::fromLatin1(end < 0 ? answer : answer.left(end));
    if (!words.contains(QLatin1String("error"), Qt::CaseInsensitive))
        return false;
    *text = words;
    return true;
}

bool CVNHidBlockExchange::read(
    CVNDeviceHid& device, const QString& command, int blocks, QByteArray* bytes, QString* error)
{
    if (blocks <= 0 || blocks > CVNSensorLimits::MaxBlocks) {
        *error = QStringLiteral("invalid arguments");
        return false;
    }
    QByteArray result;
    result.reserve(blocks * CVNSensorLimits::BlockPayloadBytes);
    for (int i = 0; i < blocks; ++i) {
        const QByteArray head = header("bg", i);
        QByteArray answer;
        if (!device.sendCommandRaw(command, head, answer, true)) {
            *error = QStringLiteral("%1 block %2 not read").arg(command).arg(i);
            return false;
        }
        if (isRefusal(answer, head, error))
            return false;
        result.append(answer.mid(CVNSensorLimits::BlockHeaderBytes, CVNSensorLimits::BlockPayloadBytes)
                          .leftJustified(CVNSensorLimits::BlockPayloadBytes, '\0'));
    }
    *bytes = result;
    return true;
}

CVNDeviceRequest CVNHidBlockExchange::readReply(
    CVNDeviceHid& device, const QString& command, int blocks, const CVNDeviceRequest& request)
{
    QByteArray bytes;
    QString error;
    if (!read(device, command, blocks, &bytes, &error))
        return request.makeErrorReply(error);
    return request.makeReply(bytes);
}

bool CVNHidBlockExchange::write(
    CVNDeviceHid& device, const QString& command, const QByteArray& bytes, int blocks, QString* error)
{
    if (blocks <= 0 || blocks > CVNSensorLimits::MaxBlocks) {
        *error = QStringLiteral("invalid arguments");
        return false;
    }
    for (int i = 0; i < blocks; ++i) {
        const QByteArray head = header("bs", i);
        const QByteArray payload = bytes.mid(i * CVNSensorLimits::BlockPayloadBytes, CVNSensorLimits::BlockPayloadBytes)
                                       .leftJustified(CVNSensorLimits::BlockPayloadBytes, '\0');
        QByteArray answer;
        if (!device.sendCommandRaw(command, head + payload, answer, true)) {
            *error = QStringLiteral("%1 block %2 not written").arg(command).arg(i);
            return false;
        }
        if (isRefusal(answer, head, error))
            return false;
    }
    return true;
}
