#include "properties/hidframeexchange.h"

#include "device/devicehid.h"
#include "properties/framegeometry.h"
#include "properties/sensorlimits.h"

#include <cstring>

namespace
{

bool geometryOf(const CVNDeviceRequest& request, CVNFrameGeometry* geometry)
{
    if (request.arguments.size() != 3)
        return false;
    bool ok[3] = {};
    geometry->width = request.arguments.at(0).toInt(&ok[0]);
    geometry->height = request.arguments.at(1).toInt(&ok[1]);
    geometry->bytesPerCell = request.arguments.at(2).toInt(&ok[2]);
    return ok[0] && ok[1] && ok[2] && geometry->isValid();
}

} // namespace

CVNDeviceRequest CVNHidFrameExchange::makeRequest(const QString& name, const CVNFrameGeometry& geometry)
{
    CVNDeviceRequest request(CVNDeviceRequest::Get, name, 0);
    request.arguments = {geometry.width, geometry.height, geometry.bytesPerCell};
    return request;
}

CVNDeviceRequest CVNHidFrameExchange::read(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    CVNFrameGeometry geometry;
    if (!geometryOf(request, &geometry))
        return request.makeErrorReply(QStringLiteral("Invalid frame size"));

    (void)device.sendCommand(QStringLiteral("frirf"), QString(), false);

    const int cells = geometry.cells();
    QByteArray frame(cells, '\0');
    QByteArray report(CVNSensorLimits::FrameReportSize, '\0');
    for (int offset = 0; offset < cells; offset += CVNSensorLimits::FrameChunkBytes) {
        report.fill('\0');
        report[0] = char(CVNSensorLimits::FrameReportId);
        if (!device.getInputReport(report))
            return request.makeErrorReply(QStringLiteral("Frame transfer failed"));
        if (quint8(report.at(0)) != CVNSensorLimits::FrameReportId)
            return request.makeErrorReply(QStringLiteral("Frame transfer failed: unexpected report"));
        const int count = qMin(CVNSensorLimits::FrameChunkBytes, cells - offset);
        std::memcpy(frame.data() + offset, report.constData() + 1, size_t(count));
    }
    return request.makeReply(frame);
}
