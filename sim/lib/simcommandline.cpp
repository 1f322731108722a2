#include "simcommandline.h"

#include <QHash>

namespace corvanesim {

namespace {

struct Verb {
    int minArgs;
    int maxArgs;  // -1: no upper bound
    const char* usage;
};

const QHash<QString, Verb>& verbs()
{
    static const QHash<QString, Verb> table = {
        {QStringLiteral("list"), {0, 0, "list"}},
        {QStringLiteral("plug"), {1, 1, "plug PRODUCT:SERIAL:FIRMWARE[,word=value...]"}},
        {QStringLiteral("unplug"), {1, 1, "unplug SERIAL"}},
        {QStringLiteral("fail"), {2, 2, "fail SERIAL N"}},
        {QStringLiteral("garbage"), {2, 2, "garbage SERIAL N"}},
        {QStringLiteral("short"), {2, 2, "short SERIAL N"}},
        {QStringLiteral("vanish"), {1, 1, "vanish SERIAL"}},
        {QStringLiteral("set"), {3, -1, "set SERIAL WORD VALUE"}},
        {QStringLiteral("get"), {2, 2, "get SERIAL WORD"}},
        {QStringLiteral("damage"), {3, 3, "damage SERIAL col|row N"}},
        {QStringLiteral("heal"), {1, 1, "heal SERIAL"}},
        {QStringLiteral("dfufault"), {2, 3, "dfufault SERIAL refuse BLOCK | vanish BLOCK | state NAME | stuck NAME | clear"}},
        {QStringLiteral("touch"), {4, 5, "touch SERIAL ID X Y [PRESSURE]"}},
        {QStringLiteral("pen"), {4, 5, "pen SERIAL ID X Y [PRESSURE]"}},
        {QStringLiteral("lift"), {2, 2, "lift SERIAL ID|NAME|all"}},
        {QStringLiteral("tunefault"), {2, -1, "tunefault SERIAL fail | five | text TEXT | clear"}},
        {QStringLiteral("object"), {5, 6, "object SERIAL NAME CLASS X Y [ROTATION]"}},
    };
    return table;
}

bool parseRequest(const QStringList& words, SimCommandLine* result, QString* error)
{
    const auto it = verbs().constFind(words.first());
    if (it == verbs().constEnd()) {
        *error = QStringLiteral("unknown command \"%1\"").arg(words.first());
        return false;
    }
    const int count = words.size() - 1;
    if (count < it->minArgs || (it->maxArgs >= 0 && count > it->maxArgs)) {
        *error = QStringLiteral("usage: corvane-sim --socket PATH %1").arg(QLatin1String(it->usage));
        return false;
    }
    if (words.first() == QLatin1String("plug")) {
        ControllerSetup setup;
        if (!parseControllerSetup(words[1], &setup, error))
            return false;
    }
    result->request = words.join(QLatin1Char(' '));
    return true;
}

bool takeValue(const QStringList& args, int* i, QString* value, QString* error)
{
    if (*i + 1 >= args.size()) {
        *error = QStringLiteral("option %1 needs a value").arg(args[*i]);
        return false;
    }
    *value = args[++*i];
    return true;
}

}  // namespace

QString usageText()
{
    return QStringLiteral(
        "usage: corvane-sim --socket PATH [--device SETUP]... [--traffic FILE]\n"
        "       corvane-sim --usb-gadget [--socket PATH] [--device SETUP]... [--traffic FILE]\n"
        "       corvane-sim --socket PATH plug SETUP | unplug SERIAL | fail SERIAL N | garbage SERIAL N | short SERIAL N\n"
        "                                 | vanish SERIAL | set SERIAL WORD VALUE | get SERIAL WORD | list\n"
        "                                 | damage SERIAL col|row N | heal SERIAL\n"
        "                                 | dfufault SERIAL refuse BLOCK|vanish BLOCK|state NAME|stuck NAME|clear\n"
        "                                 | touch SERIAL ID X Y [PRESSURE] | pen SERIAL ID X Y [PRESSURE]\n"
        "                                 | lift SERIAL ID|NAME|all | object SERIAL NAME CLASS X Y [ROTATION]\n"
        "                                 | tunefault SERIAL fail|five|text TEXT|clear\n"
        "SETUP: PRODUCT:SERIAL:FIRMWARE[,word=value...], PRODUCT vasta, lyn, twinpoint, tarso55 or a\n"
        "      decimal USB product id, SERIAL 12 characters, FIRMWARE like 2.005; word=value presets a\n"
        "      register, bulk=1 adds the vendor bulk interface, paths=2 a second path to the HID interface,\n"
        "      timeline=off a quiet sensor, timeline=FILE a touch script instead of the built-in one;\n"
        "      deadcols=N+N..., brokenrows=N+N..., shortcols=N+N..., shortrows=N+N... damage the foil\n");
}

bool parseCommandLine(const QStringList& args, SimCommandLine* commandLine, QString* error)
{
    SimCommandLine result;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        QString value;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            result.help = true;
        } else if (arg == QLatin1String("--usb-gadget")) {
            result.usbGadget = true;
        } else if (arg == QLatin1String("--socket")) {
            if (!takeValue(args, &i, &result.socketPath, error))
                return false;
        } else if (arg == QLatin1String("--traffic")) {
            if (!takeValue(args, &i, &result.trafficPath, error))
                return false;
        } else if (arg == QLatin1String("--device")) {
            ControllerSetup setup;
            if (!takeValue(args, &i, &value, error) || !parseControllerSetup(value, &setup, error))
                return false;
            result.devices.append(setup);
        } else if (arg.startsWith(QLatin1Char('-'))) {
            *error = QStringLiteral("unknown option %1").arg(arg);
            return false;
        } else {
            if (!parseRequest(args.mid(i), &result, error))
                return false;
            break;
        }
    }
    if (result.help) {
        *commandLine = result;
        return true;
    }
    if (result.socketPath.isEmpty() && !(result.usbGadget && result.request.isEmpty())) {
        *error = QStringLiteral("--socket PATH is required");
        return false;
    }
    if (!result.request.isEmpty() && (!result.devices.isEmpty() || !result.trafficPath.isEmpty() || result.usbGadget)) {
        *error = QStringLiteral("--device, --traffic and --usb-gadget apply only when running the simulator");
        return false;
    }
    *commandLine = result;
    return true;
}

}  // namespace corvanesim
