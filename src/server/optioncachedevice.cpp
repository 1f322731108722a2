#include "server/optioncachedevice.h"

#include "cli/optionresult.h"
#include "device/device.h"
#include "interface/deviceinterface.h"
#include "server/serversession.h"

#include <QTextStream>

CVNOptionCacheDevice::CVNOptionCacheDevice()
    : CVNCommandLineOption({QStringLiteral("r"), QStringLiteral("device-cache")}, QStringLiteral("Clear cache device."))
{
}

void CVNOptionCacheDevice::execute(int& result, const QStringList& values, CVNCommandLineContext& context)
{
    (void)values;
    auto* session = dynamic_cast<CVNServerSession*>(&context);
    CVNDeviceInterface* selected = session ? session->findDevice(QString()) : nullptr;
    if (selected && selected->device()) {
        selected->refreshAll();
        context.output() << "device " << selected->device()->serialNumber() << ": cache cleared\n";
    } else {
        context.output() << "device not found\n";
    }
    result = CVNOptionResult::Processed;
}
