#include "device/hidprobe.h"

#include "device/devicehid.h"
#include "device/devicelog.h"

#include <QThread>

namespace
{

QString query(CVNDeviceHid& device, const char* word)
{
    return device.sendCommand(QLatin1String(word), QString(), true);
}

} // namespace

bool CVNHidProbe::check(CVNDeviceHid& device)
{
    QString answer = query(device, "gain");
    for (int i = 0; answer.isEmpty() && i < ExtraGainQueries && device.isOpen(); ++i) {
        QThread::msleep(PauseMs);
        answer = query(device, "gain");
    }
    QString first = query(device, "gain");
    if (first.isEmpty()) {
        QThread::msleep(PauseMs);
        first = query(device, "gain");
    }
    const QString second = query(device, "gain");
    if (first.isEmpty() || first != second || first.toInt() >= GainLimit) {
        qCDebug(lcDevice) << "probe: gain answers" << first << second;
        return false;
    }
    const QString build = query(device, "dbuild");
    const QString serial = query(device, "dserial");
    if (build == second || build.size() != BuildIdLength || serial.size() != SerialLength) {
        qCDebug(lcDevice) << "probe: dbuild/dserial answers" << build << serial;
        return false;
    }
    return true;
}

bool CVNHidProbe::run(CVNDeviceHid& device)
{
    if (check(device))
        return true;
    device.sendCommand(QStringLiteral("dreset"), QString(), false);
    return false;
}
