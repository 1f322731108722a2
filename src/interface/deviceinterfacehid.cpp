#include "interface/deviceinterfacehid.h"

#include "device/device.h"

#if __has_include("device/hidexchange.h")
#include "device/devicehid.h"
#include "device/hidexchange.h"
#define CORVANE_HAS_HID_EXCHANGE 1
#endif

CVNDeviceInterfaceHid::CVNDeviceInterfaceHid(CVNDevice* device)
    : CVNDeviceInterface(QStringLiteral("root"), device)
{
}

CVNDeviceReplies CVNDeviceInterfaceHid::execute(const CVNDeviceRequest& request)
{
#ifdef CORVANE_HAS_HID_EXCHANGE
    auto* hid = qobject_cast<CVNDeviceHid*>(device());
    if (!hid || request.isEmpty())
        return CVNDeviceReplies();
    return executeHidRequest(*hid, request);
#else
    (void)request;
    return CVNDeviceReplies();
#endif
}
