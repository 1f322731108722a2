#include "properties/hidcellmaskexchange.h"

#include "properties/cellmask.h"
#include "properties/hidblockexchange.h"

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
    const int blocks = request.arguments.size() == 2 ? CVNHidBlockExchange::gridBlocks(request.arguments) : 0;
    if (blocks == 0)
        return request.makeErrorReply(QStringLiteral("invalid arguments"));
    const QString command = QLatin1String(Command);
    if (request.type != CVNDeviceRequest::Set)
        return CVNHidBlockExchange::readReply(device, command, blocks, request);
    const QByteArray bytes = request.value.toByteArray();
    QString error;
    if (!CVNHidBlockExchange::write(device, command, bytes, blocks, &error))
        return request.makeErrorReply(error);
    return request.makeReply(bytes);
}
