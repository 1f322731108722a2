#include "properties/calibrationexchange.h"

#include "device/devicehid.h"
#include "device/hidexchanges.h"
#include "properties/calibrationblock.h"

namespace
{

const QString kNoAnswer = QStringLiteral("no answer from the controller");
const QString kUnexpected = QStringLiteral("unexpected answer");

CVNDeviceRequest failure(const CVNDeviceRequest& request, const QString& what, const QString& why)
{
    return request.makeErrorReply(CVNCalibrationExchange::errorPrefix() + what + QStringLiteral(" (") + why
                                  + QLatin1Char(')'));
}

// Sends one "cmatrix" block; on success `block` holds the reply and `why`
// stays empty.
void exchangeBlock(CVNDeviceHid& device, CVNCalibrationBlock::Marker marker, QByteArray& block, QString* why)
{
    QByteArray answer;
    if (!device.sendCommandRaw(QLatin1String(CVNCalibrationBlock::Command), block, answer, true)) {
        *why = kNoAnswer;
        return;
    }
    const QString deviceError = CVNCalibrationBlock::errorText(answer);
    if (!deviceError.isEmpty()) {
        *why = deviceError;
        return;
    }
    if (!CVNCalibrationBlock::hasMarker(answer, marker)) {
        *why = kUnexpected;
        return;
    }
    // The reply is the starting content of the next command.
    block = answer;
}

} // namespace

CVNDeviceRequest CVNCalibrationExchange::execute(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    return request.type == CVNDeviceRequest::Set ? write(device, request) : read(device, request);
}

CVNDeviceRequest CVNCalibrationExchange::read(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    const int count = qBound(1, request.value.toInt(), CVNCalibrationZone::MaxZones);
    QByteArray block = CVNCalibrationBlock::emptyBlock();
    CVNCalibrationBlock::layMarker(block, CVNCalibrationBlock::Marker::Read);
    CVNCalibrationZones zones;
    for (int i = 0; i < count; ++i) {
        CVNCalibrationBlock::layRead(block, i);
        QString why;
        exchangeBlock(device, CVNCalibrationBlock::Marker::Read, block, &why);
        if (!why.isEmpty())
            return failure(request, QStringLiteral("zone %1 not read").arg(i), why);
        CVNCalibrationZone zone;
        if (CVNCalibrationBlock::readZone(block, &zone))
            zones.append(zone);
    }
    return request.makeReply(calibrationZonesToVariant(zones));
}

CVNDeviceRequest CVNCalibrationExchange::write(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    const CVNCalibrationZones zones = calibrationZonesFromVariant(request.value);
    if (zones.size() > CVNCalibrationZone::MaxZones)
        return failure(request, QStringLiteral("zones not written"),
                       QStringLiteral("more than %1 zones").arg(CVNCalibrationZone::MaxZones));
    for (int k = 0; k < zones.size(); ++k) {
        if (!zones.at(k).isStorable())
            return failure(request, QStringLiteral("zone %1 not written").arg(k),
                           QStringLiteral("not storable by the controller"));
    }

    const QString cleared = device.sendCommand(QLatin1String(ClearCommand), QString(), true);
    if (cleared.isEmpty() && !device.isOpen())
        return failure(request, QStringLiteral("zones not cleared"), kNoAnswer);
    if (CVNHidExchanges::isErrorAnswer(cleared))
        return failure(request, QStringLiteral("zones not cleared"), cleared);

    QByteArray block = CVNCalibrationBlock::emptyBlock();
    CVNCalibrationBlock::layMarker(block, CVNCalibrationBlock::Marker::Write);
    CVNCalibrationZones written;
    for (int k = 0; k < zones.size(); ++k) {
        CVNCalibrationBlock::layZone(block, zones.at(k));
        QString why;
        exchangeBlock(device, CVNCalibrationBlock::Marker::Write, block, &why);
        if (!why.isEmpty())
            return failure(request, QStringLiteral("zone %1 of %2 not written").arg(k).arg(zones.size()), why);
        written.append(zones.at(k).narrowed());
    }
    return request.makeReply(calibrationZonesToVariant(written));
}
