#include "properties/hidfoilhealthexchange.h"

#include "device/devicehid.h"
#include "device/hidexchanges.h"
#include "properties/hidblockexchange.h"

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
    if (action == QLatin1String("result"))
        return CVNHidBlockExchange::readReply(device, command, CVNHidBlockExchange::gridBlocks(request.arguments),
                                              request);
    if (action != QLatin1String("start") && action != QLatin1String("stop") && action != QLatin1String("status"))
        return request.makeErrorReply(QStringLiteral("Invalid arguments"));
    const QString answer = device.sendCommand(command, action, true);
    if (answer.isEmpty())
        return request.makeErrorReply(QStringLiteral("%1 %2: no answer").arg(command, action));
    if (CVNHidExchanges::isErrorAnswer(answer))
        return request.makeErrorReply(answer);
    return request.makeReply(answer);
}
