#include "device/hidsettingsactions.h"

#include "device/devicehid.h"
#include "device/devicelog.h"
#include "device/hidsettingslink.h"
#include "device/hidsettingstarso.h"
#include "device/hidsettingsveil.h"

const QString CVNHidSettingsActions::ArgumentError = QStringLiteral("Argument error!");

namespace
{

bool isTarso(const CVNDeviceHid& device)
{
    return device.productType() == CVNHidSettingsTarso::ProductId;
}

// "sdefault", "serase", "ssave": the controller's own words when it
// refuses, or when nothing came back at all.
CVNDeviceRequest flashCommand(CVNDeviceHid& device, const CVNDeviceRequest& request, const QString& command)
{
    const CVNHidSettingsLink::Answer answer = CVNHidSettingsLink(device).sendText(command, QString());
    if (!answer.read)
        return request.makeErrorReply(
            QStringLiteral("Settings error: no answer from the controller to \"%1\"").arg(command));
    if (answer.failed())
        return request.makeErrorReply(answer.text);
    return request.makeReply();
}

CVNDeviceRequest upload(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    if (request.arguments.size() != 1)
        return request.makeErrorReply(CVNHidSettingsActions::ArgumentError);
    const QByteArray image = request.arguments.first().toByteArray();
    const CVNSettingsTransfer transfer =
        isTarso(device) ? CVNHidSettingsTarso::upload(device, image) : CVNHidSettingsVeil::upload(device, image);
    if (!transfer.ok()) {
        qCWarning(lcDevice) << "settings upload failed:" << transfer.error;
        return request.makeErrorReply(QStringLiteral("Settings upload error: ") + transfer.error);
    }
    return request.makeReply();
}

CVNDeviceRequest download(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    const CVNSettingsTransfer transfer =
        isTarso(device) ? CVNHidSettingsTarso::download(device) : CVNHidSettingsVeil::download(device);
    if (!transfer.ok()) {
        qCWarning(lcDevice) << "settings download failed:" << transfer.error;
        return request.makeErrorReply(QStringLiteral("Settings download error: ") + transfer.error);
    }
    return request.makeReply(transfer.image);
}

} // namespace

CVNDeviceRequest CVNHidSettingsActions::execute(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    const QString action = request.name.toLower();
    if (action == QLatin1String("settings.upload"))
        return upload(device, request);
    if (action == QLatin1String("settings.download"))
        return download(device, request);
    if (action == QLatin1String("settings.default"))
        return flashCommand(device, request, QStringLiteral("sdefault"));
    if (action == QLatin1String("settings.erase"))
        return flashCommand(device, request, QStringLiteral("serase"));
    if (action == QLatin1String("settings.save"))
        return flashCommand(device, request, QStringLiteral("ssave"));
    return request.makeErrorReply(QStringLiteral("Settings error: unknown action \"%1\"").arg(request.name));
}
