#include "properties/hidfoilhealthexchange.h"

#include "device/devicehid.h"
#include "device/hidexchanges.h"
#include "properties/hidblockexchange.h"
#include "properties/sensorlimits.h"

namespace
{

CVNDeviceRequest errorReply(const CVNDeviceRequest& request, const QString& text)
{
    CVNDeviceRequest reply = request.makeReply();
    reply.type = CVNDeviceRequest::Error;
    reply.text = text;
    return reply;
}

} // namespace

CVNDeviceRequest CVNHidFoilHealthExchange::makeRequest(const QString& name, int width, int height)
{
    CVNDeviceRequest request(CVNDeviceRequest::Get, name, 0);
    request.arguments = {width, height};
    return request;
}

QString CVNHidFoilHealthExchange::actionOf(const QString& name)
{
    const QString marker = QLatin1String(Command) + QLatin1Char('.');
    const int at = name.indexOf(marker, 0, Qt::CaseInsensitive);
    return at < 0 ? QString() : name.mid(at + marker.size()).toLower();
}

CVNDeviceRequest CVNHidFoilHealthExchange::execute(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    const QString command = QLatin1String(Command);
    const QString action = actionOf(request.name);
    if (action == QLatin1String("result")) {
        bool widthOk = false;
        bool heightOk = false;
        const int width = request.arguments.value(0).toInt(&widthOk);
        const int height = request.arguments.value(1).toInt(&heightOk);
        const int blocks = widthOk && heightOk && width > 0 && height > 0 && width <= CVNSensorLimits::MaxGridSide
                && height <= CVNSensorLimits::MaxGridSide
            ? CVNHidBlockExchange::blockCount(width * height)
            : 0;
        if (blocks == 0)
            return errorReply(request, QStringLiteral("invalid arguments"));
        QByteArray bytes;
        QString error;
        if (!CVNHidBlockExchange::read(device, command, blocks, &bytes, &error))
            return errorReply(request, error);
        CVNDeviceRequest reply = request.makeReply();
        reply.value = bytes;
        return reply;
    }
    if (action != QLatin1String("start") && action != QLatin1String("stop") && action != QLatin1String("status"))
        return errorReply(request, QStringLiteral("Invalid arguments"));
    const QString answer = device.sendCommand(command, action, true);
    if (answer.isEmpty())
        return errorReply(request, QStringLiteral("%1 %2: no answer").arg(command, action));
    if (CVNHidExchanges::isErrorAnswer(answer))
        return errorReply(request, answer);
    CVNDeviceRequest reply = request.makeReply();
    reply.value = answer;
    return reply;
}
