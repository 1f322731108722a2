// The control request that makes a controller's auto-tune go wrong.
#include "controlhandler.h"

#include "simlimits.h"
#include "simserver.h"
#include "virtualcontroller.h"

namespace corvanesim {

QStringList CVNControlHandler::tunefault(const QStringList& args)
{
    const QStringList usage = {QStringLiteral("error usage: tunefault SERIAL fail | five | text TEXT | clear")};
    if (args.size() < 2)
        return usage;
    CVNVirtualController* c = m_server->controller(args[0]);
    if (!c)
        return {QStringLiteral("error no controller with serial %1").arg(args[0])};
    const QString& kind = args[1];
    if (kind == QLatin1String("text")) {
        // The rest of the line, as the controller would answer it (empty included).
        const QString text = args.mid(2).join(QLatin1Char(' '));
        if (text.size() > CommandValueSize)
            return {QStringLiteral("error text longer than %1 characters").arg(CommandValueSize)};
        c->autoTune().setFault(CVNAutoTune::Fault::Text, text);
        return {QStringLiteral("ok")};
    }
    if (args.size() != 2)
        return usage;
    if (kind == QLatin1String("fail"))
        c->autoTune().setFault(CVNAutoTune::Fault::Fail);
    else if (kind == QLatin1String("five"))
        c->autoTune().setFault(CVNAutoTune::Fault::FiveValues);
    else if (kind == QLatin1String("clear"))
        c->autoTune().setFault(CVNAutoTune::Fault::None);
    else
        return usage;
    return {QStringLiteral("ok")};
}

}  // namespace corvanesim
