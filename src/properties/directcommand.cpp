#include "properties/directcommand.h"

#include "device/devicehid.h"
#include "device/hidexchanges.h"

namespace CVNDirectCommand
{

bool send(CVNDevice* device, const QString& word, const QString& value)
{
    auto* hid = qobject_cast<CVNDeviceHid*>(device);
    if (!hid || !hid->isOpen() || word.isEmpty())
        return false;
    const QString answer = hid->sendCommand(word, value, true);
    return !answer.isEmpty() && !CVNHidExchanges::isErrorAnswer(answer);
}

} // namespace CVNDirectCommand
