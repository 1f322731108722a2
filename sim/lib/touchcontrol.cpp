// The control requests that put fingers and pens on a controller's sensor
// and lift them (and lift objects by name).
#include "controlhandler.h"

#include "simserver.h"
#include "virtualcontroller.h"

namespace corvanesim {

namespace {

QStringList error(const QString& text)
{
    return {QStringLiteral("error ") + text};
}

bool inRange(const QString& text, int low, int high, int* out)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < low || n > high)
        return false;
    *out = n;
    return true;
}

// SERIAL ID X Y [PRESSURE] with the id range of a finger or a pen.
QStringList place(CVNSimServer* server, const QStringList& args, bool pen)
{
    const QString usage = QStringLiteral("usage: %1 SERIAL ID X Y [PRESSURE] (ID %2, X and Y 0..65535, PRESSURE 0..65535)")
                              .arg(pen ? QStringLiteral("pen") : QStringLiteral("touch"),
                                   pen ? QStringLiteral("10..127") : QStringLiteral("0..254"));
    int id = 0, x = 0, y = 0, pressure = CVNTouchSurface::DefaultPressure;
    if (args.size() < 4 || args.size() > 5 || !inRange(args[1], pen ? 10 : 0, pen ? 127 : 254, &id)
        || !inRange(args[2], 0, 0xFFFF, &x) || !inRange(args[3], 0, 0xFFFF, &y)
        || (args.size() == 5 && !inRange(args[4], 0, 0xFFFF, &pressure)))
        return error(usage);
    CVNVirtualController* c = server->controller(args[0]);
    if (!c)
        return error(QStringLiteral("no controller with serial %1").arg(args[0]));
    if (pen)
        c->touchSurface().putPen(quint8(id), quint16(x), quint16(y), quint16(pressure));
    else
        c->touchSurface().putFinger(quint8(id), quint16(x), quint16(y), quint16(pressure));
    return {QStringLiteral("ok")};
}

}  // namespace

QStringList CVNControlHandler::touch(const QStringList& args)
{
    return place(m_server, args, false);
}

QStringList CVNControlHandler::pen(const QStringList& args)
{
    return place(m_server, args, true);
}

QStringList CVNControlHandler::lift(const QStringList& args)
{
    if (args.size() != 2)
        return error(QStringLiteral("usage: lift SERIAL ID|NAME|all"));
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return error(QStringLiteral("no controller with serial %1").arg(args[0]));
    if (args[1] == QLatin1String("all")) {
        c->touchSurface().liftAll();
        return {QStringLiteral("ok")};
    }
    int id = 0;
    const bool lifted = inRange(args[1], 0, 254, &id) ? c->touchSurface().lift(quint8(id))
                                                       : c->touchSurface().liftObject(args[1]);
    if (!lifted)
        return error(QStringLiteral("nothing placed as %1").arg(args[1]));
    return {QStringLiteral("ok")};
}

}  // namespace corvanesim
