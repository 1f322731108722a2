#include "device/hidexchange.h"

CVNDeviceReplies executeHidRequest(CVNDeviceHid& device, const CVNDeviceRequest& request)
{
    return CVNHidRouteTable::shared().execute(device, request);
}
