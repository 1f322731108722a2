#include "controlhandler.h"

#include "controllersetup.h"
#include "dfufault.h"
#include "simlimits.h"
#include "simserver.h"
#include "virtualcontroller.h"

#include <QHash>

namespace corvanesim {

namespace {

using Handler = QStringList (CVNControlHandler::*)(const QStringList&);

QStringList error(const QString& text)
{
    return {QStringLiteral("error ") + text};
}

const QStringList Ok = {QStringLiteral("ok")};

bool parseCount(const QString& text, int* count)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0 || n > MaxFaultCount)
        return false;
    *count = n;
    return true;
}

}  // namespace

struct ControlTable {
    static const QHash<QString, Handler>& handlers()
    {
        static const QHash<QString, Handler> table = {
            {QStringLiteral("list"), &CVNControlHandler::list},
            {QStringLiteral("plug"), &CVNControlHandler::plug},
            {QStringLiteral("unplug"), &CVNControlHandler::unplug},
            {QStringLiteral("fail"), &CVNControlHandler::fail},
            {QStringLiteral("garbage"), &CVNControlHandler::garbage},
            {QStringLiteral("short"), &CVNControlHandler::shortAnswers},
            {QStringLiteral("vanish"), &CVNControlHandler::vanish},
            {QStringLiteral("set"), &CVNControlHandler::set},
            {QStringLiteral("get"), &CVNControlHandler::get},
            {QStringLiteral("damage"), &CVNControlHandler::damage},
            {QStringLiteral("heal"), &CVNControlHandler::heal},
            {QStringLiteral("dfufault"), &CVNControlHandler::dfufault},
            {QStringLiteral("touch"), &CVNControlHandler::touch},
            {QStringLiteral("pen"), &CVNControlHandler::pen},
            {QStringLiteral("lift"), &CVNControlHandler::lift},
            {QStringLiteral("tunefault"), &CVNControlHandler::tunefault},
            {QStringLiteral("object"), &CVNControlHandler::object},
        };
        return table;
    }
};

bool CVNControlHandler::isControlRequest(const QString& word)
{
    return ControlTable::handlers().contains(word);
}

QStringList CVNControlHandler::handle(const QString& line)
{
    QStringList args = line.split(QLatin1Char(' '));
    const QString request = args.takeFirst();
    const auto it = ControlTable::handlers().constFind(request);
    if (it == ControlTable::handlers().constEnd())
        return error(QStringLiteral("unknown request \"%1\"").arg(request));
    return (this->*(*it))(args);
}

QStringList CVNControlHandler::list(const QStringList& args)
{
    if (!args.isEmpty())
        return error(QStringLiteral("usage: list"));
    QStringList lines;
    for (const UsbInterface& i : m_server->interfaces())
        lines.append(QStringLiteral("iface ") + i.fields());
    lines.append(QStringLiteral("end"));
    return lines;
}

QStringList CVNControlHandler::plug(const QStringList& args)
{
    if (args.size() != 1)
        return error(QStringLiteral("usage: plug PRODUCT:SERIAL:FIRMWARE[,word=value...]"));
    ControllerSetup setup;
    QString text;
    if (!parseControllerSetup(args[0], &setup, &text) || !m_server->plug(setup, &text))
        return error(text);
    return Ok;
}

QStringList CVNControlHandler::unplug(const QStringList& args)
{
    if (args.size() != 1)
        return error(QStringLiteral("usage: unplug SERIAL"));
    QString text;
    if (!m_server->unplug(args[0], &text))
        return error(text);
    return Ok;
}

QStringList CVNControlHandler::fail(const QStringList& args)
{
    int count = 0;
    if (args.size() != 2 || !parseCount(args[1], &count))
        return error(QStringLiteral("usage: fail SERIAL N (N from 0 to %1)").arg(MaxFaultCount));
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return error(QStringLiteral("no controller with serial %1").arg(args[0]));
    c->faults().failNext(count);
    return Ok;
}

QStringList CVNControlHandler::garbage(const QStringList& args)
{
    int count = 0;
    if (args.size() != 2 || !parseCount(args[1], &count))
        return error(QStringLiteral("usage: garbage SERIAL N (N from 0 to %1)").arg(MaxFaultCount));
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return error(QStringLiteral("no controller with serial %1").arg(args[0]));
    c->faults().garbageNext(count);
    return Ok;
}

QStringList CVNControlHandler::shortAnswers(const QStringList& args)
{
    int count = 0;
    if (args.size() != 2 || !parseCount(args[1], &count))
        return error(QStringLiteral("usage: short SERIAL N (N from 0 to %1)").arg(MaxFaultCount));
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return error(QStringLiteral("no controller with serial %1").arg(args[0]));
    c->faults().shortNext(count);
    return Ok;
}

QStringList CVNControlHandler::vanish(const QStringList& args)
{
    if (args.size() != 1)
        return error(QStringLiteral("usage: vanish SERIAL"));
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return error(QStringLiteral("no controller with serial %1").arg(args[0]));
    c->faults().vanishNext();
    return Ok;
}

// The value is the rest of the line, so that pairs ("10 200") can be set.
QStringList CVNControlHandler::set(const QStringList& args)
{
    if (args.size() < 3)
        return error(QStringLiteral("usage: set SERIAL WORD VALUE"));
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return error(QStringLiteral("no controller with serial %1").arg(args[0]));
    QString text;
    if (!c->preset(args[1], args.mid(2).join(QLatin1Char(' ')), &text))
        return error(text);
    return Ok;
}

QStringList CVNControlHandler::get(const QStringList& args)
{
    if (args.size() != 2)
        return error(QStringLiteral("usage: get SERIAL WORD"));
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return error(QStringLiteral("no controller with serial %1").arg(args[0]));
    QString value;
    if (!c->value(args[1], &value))
        return error(QStringLiteral("unknown word \"%1\"").arg(args[1]));
    return {value.isEmpty() ? QStringLiteral("ok") : QStringLiteral("ok ") + value};
}

QStringList CVNControlHandler::damage(const QStringList& args)
{
    const bool column = args.value(1) == QLatin1String("col");
    bool ok = false;
    const int index = args.value(2).toInt(&ok, 10);
    if (args.size() != 3 || (!column && args[1] != QLatin1String("row")) || !ok || index < 0)
        return error(QStringLiteral("usage: damage SERIAL col|row N"));
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return error(QStringLiteral("no controller with serial %1").arg(args[0]));
    QString text;
    if (!c->damageLine(column, index, &text))
        return error(text);
    return Ok;
}

QStringList CVNControlHandler::dfufault(const QStringList& args)
{
    if (args.size() < 2)
        return error(dfuFaultUsage());
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return error(QStringLiteral("no controller with serial %1").arg(args[0]));
    if (!c->dfu())
        return error(QStringLiteral("controller %1 is not in DFU mode").arg(args[0]));
    QString text;
    if (!applyDfuFault(*c->dfu(), args.mid(1), &text))
        return error(text);
    return Ok;
}

QStringList CVNControlHandler::heal(const QStringList& args)
{
    if (args.size() != 1)
        return error(QStringLiteral("usage: heal SERIAL"));
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return error(QStringLiteral("no controller with serial %1").arg(args[0]));
    c->heal();
    return Ok;
}

}  // namespace corvanesim
