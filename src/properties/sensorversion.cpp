#include "properties/sensorversion.h"

#include "device/device.h"
#include "interface/deviceinterface.h"

CVNSensorVersion CVNSensorVersion::of(const CVNDeviceInterface* interface)
{
    CVNSensorVersion version;
    const CVNDevice* device = interface ? interface->device() : nullptr;
    if (device) {
        version.productType = device->productType();
        version.firmware = device->firmwareVersion();
    }
    return version;
}

int CVNSensorVersion::firmwareMajor() const
{
    bool ok = false;
    const int major = firmware.section(QLatin1Char('.'), 0, 0).toInt(&ok, 16);
    return ok ? major : 0;
}

QChar CVNSensorVersion::tableCharacter() const
{
    return firmware.isEmpty() ? QChar() : firmware.back();
}
