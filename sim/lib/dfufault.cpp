#include "dfufault.h"

#include "dfufunction.h"

namespace corvanesim {

namespace {

bool blockNumber(const QString& text, int* block)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0 || n > 0xFFFF)
        return false;
    *block = n;
    return true;
}

}  // namespace

QString dfuFaultUsage()
{
    return QStringLiteral("usage: dfufault SERIAL refuse BLOCK | vanish BLOCK | state NAME | stuck NAME | clear");
}

bool applyDfuFault(CVNDfuFunction& dfu, const QStringList& words, QString* error)
{
    const QString fault = words.value(0);
    if (fault == QLatin1String("clear") && words.size() == 1) {
        dfu.clearFaults();
        return true;
    }
    if (words.size() != 2) {
        *error = dfuFaultUsage();
        return false;
    }
    int number = 0;
    if (fault == QLatin1String("refuse") || fault == QLatin1String("vanish")) {
        if (!blockNumber(words[1], &number)) {
            *error = QStringLiteral("block \"%1\" is not a number from 0 to 65535").arg(words[1]);
            return false;
        }
        if (fault == QLatin1String("refuse"))
            dfu.refuseBlock(number);
        else
            dfu.vanishAtBlock(number);
        return true;
    }
    if (fault == QLatin1String("state") || fault == QLatin1String("stuck")) {
        number = CVNDfuFunction::stateFromWord(words[1]);
        if (number < 0) {
            *error = QStringLiteral("unknown DFU state \"%1\"").arg(words[1]);
            return false;
        }
        if (fault == QLatin1String("state"))
            dfu.setState(CVNDfuFunction::State(number));
        else
            dfu.stickAt(number);
        return true;
    }
    *error = dfuFaultUsage();
    return false;
}

}  // namespace corvanesim
