#include "interface/deviceinterfacehid.h"

#include "device/devicehid.h"
#include "device/hidexchange.h"

CVNDeviceInterfaceHid::CVNDeviceInterfaceHid(CVNDevice* device)
    : CVNDeviceInterface(QStringLiteral("root"), device)
{
}

CVNDeviceReplies CVNDeviceInterfaceHid::execute(const CVNDeviceRequest& request)
{
    auto* hid = qobject_cast<CVNDeviceHid*>(device());
    if (!hid || request.isEmpty())
        return CVNDeviceReplies();
    return executeHidRequest(*hid, request);
}
