// The control request that puts a tangible object on a controller's sensor
// (or moves it): `object SERIAL NAME CLASS X Y [ROTATION]`.
#include "controlhandler.h"

#include "simserver.h"
#include "tangibleobject.h"
#include "virtualcontroller.h"

#include <cmath>

namespace corvanesim {

QStringList CVNControlHandler::object(const QStringList& args)
{
    const QStringList usage{QStringLiteral(
        "error usage: object SERIAL NAME CLASS X Y [ROTATION] (NAME not a number nor all; CLASS 201..204, 301, "
        "302, 401..408, 509..516; X and Y 0..65535; ROTATION degrees)")};
    if (args.size() < 5 || args.size() > 6)
        return usage;
    bool numeric = false;
    (void)args[1].toInt(&numeric);
    bool ok[4] = {false, false, false, true};
    const int classId = args[2].toInt(&ok[0]);
    const int x = args[3].toInt(&ok[1]);
    const int y = args[4].toInt(&ok[2]);
    const double rotation = args.size() == 6 ? args[5].toDouble(&ok[3]) : 0.0;
    if (numeric || args[1] == QLatin1String("all") || args[1].isEmpty() || !ok[0] || !ok[1] || !ok[2] || !ok[3]
        || !std::isfinite(rotation) || !CVNTangibleObject::isClass(classId) || x < 0 || x > 0xFFFF || y < 0
        || y > 0xFFFF)
        return usage;
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return {QStringLiteral("error no controller with serial %1").arg(args[0])};
    const QVector<QPoint> feet = CVNTangibleObject::feet(classId, x, y, std::fmod(rotation, 360.0));
    for (const QPoint& foot : feet) {
        if (foot.x() < 0 || foot.x() > 0xFFFF || foot.y() < 0 || foot.y() > 0xFFFF)
            return {QStringLiteral("error object %1 would stand off the sensor (feet within 0..65535)").arg(args[1])};
    }
    if (!c->touchSurface().putObject(args[1], feet))
        return {QStringLiteral("error no contact ids left for the feet of %1").arg(args[1])};
    return {QStringLiteral("ok")};
}

}  // namespace corvanesim
