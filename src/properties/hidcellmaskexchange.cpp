#include "properties/hidcellmaskexchange.h"

#include "properties/cellmask.h"
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

// The cells of the grid named by the arguments; 0 when they are no grid.
int cellsOf(const CVNDeviceRequest& request)
{
    if (request.arguments.size() != 2)
        return 0;
    bool widthOk = false;
    bool heightOk = false;
    const int width = request.arguments.at(0).toInt(&widthOk);
    const int height = request.arguments.at(1).toInt(&heightOk);
    if (!widthOk || !heightOk || width <= 0 || height <= 0 || width > CVNSensorLimits::MaxGridSide
        || height > CVNSensorLimits::MaxGridSide)
        return 0;
    return width * height;
}

} // namespace

CVNDeviceRequest CVNHidCellMaskExchange::makeRead(const QString& name, int width, int height)
{
    CVNDeviceRequest request(CVNDeviceRequest::Get, name, 0);
    request.arguments = {width, height};
    return request;
}

CVNDeviceRequest CVNHidCellMaskExchange::makeWrite(const QString& name, const CVNCellMask& mask)
{
    CVNDeviceRequest request(CVNDeviceRequest::Set, name, 0);
    request.arguments = {mask.width(), mask.height()};
    request.value = mask.toBytes();
    return request;
}

CVNDeviceRequest CVNHidCellMaskExchange::execute(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    const int blocks = CVNHidBlockExchange::blockCount(cellsOf(request));
    if (blocks == 0 || cellsOf(request) == 0)
        return errorReply(request, QStringLiteral("invalid arguments"));
    const QString command = QLatin1String(Command);
    QString error;
    CVNDeviceRequest reply = request.makeReply();
    if (request.type == CVNDeviceRequest::Set) {
        const QByteArray bytes = request.value.toByteArray();
        if (!CVNHidBlockExchange::write(device, command, bytes, blocks, &error))
            return errorReply(request, error);
        reply.value = bytes;
        return reply;
    }
    QByteArray bytes;
    if (!CVNHidBlockExchange::read(device, command, blocks, &bytes, &error))
        return errorReply(request, error);
    reply.value = bytes;
    return reply;
}
