#include "server/optionselectdevice.h"

#include "cli/optionresult.h"
#include "device/device.h"
#include "device/devicemanager.h"
#include "interface/deviceinterface.h"
#include "server/applicationserver.h"
#include "server/serversession.h"

#include <QTextStream>

CVNOptionSelectDevice::CVNOptionSelectDevice(CVNApplicationServer* server)
    : CVNCommandLineOption({QStringLiteral("d"), QStringLiteral("device")},
                           QStringLiteral("Select DEVICE. It can be from serial number or order number."),
                           QStringLiteral("[DEVICE]"))
    , m_server(server)
{
}

void CVNOptionSelectDevice::execute(int& result, const QStringList& values, CVNCommandLineContext& context)
{
    auto* session = dynamic_cast<CVNServerSession*>(&context);
    if (!session) {
        result = CVNOptionResult::Error;
        return;
    }
    if (values.isEmpty()) {
        CVNDeviceInterface* selected = session->findDevice(QString());
        if (selected && selected->device()) {
            context.output() << "The selected device is: " << selected->device()->serialNumber() << "\n";
            result = CVNOptionResult::Processed;
        } else {
            context.output() << "There is no device to select\n";
            result = CVNOptionResult::Error;
        }
        return;
    }
    const QString value = values.first();
    result = value.size() == kSerialLength ? selectBySerial(*session, value) : selectByOrder(*session, value);
}

int CVNOptionSelectDevice::selectBySerial(CVNServerSession& session, const QString& serial)
{
    QTextStream& out = session.output();
    if (!m_server->deviceManager()->device(serial)) {
        out << names().first() << ": " << serial << " not found\n";
        return CVNOptionResult::Error;
    }
    out << "The selected device is: ";
    CVNDeviceInterface* view = session.findDevice(serial);
    if (view) {
        session.selectDevice(view);
        out << serial << " selected\n";
    } else {
        out << "impossible to select device " << serial << "\n";
    }
    return CVNOptionResult::Processed;
}

int CVNOptionSelectDevice::selectByOrder(CVNServerSession& session, const QString& order)
{
    QTextStream& out = session.output();
    bool ok = false;
    const int index = order.toInt(&ok);
    const QList<CVNDeviceParent*> devices = m_server->deviceManager()->devices();
    // A number outside the list (or no number) names no device.
    if (!ok || index < 0 || index >= devices.size()) {
        out << "Device " << order << " not found\n";
        return CVNOptionResult::Error;
    }
    const QString serial = devices.at(index)->serialNumber();
    if (!session.devices().value(serial)) {
        out << "Device " << serial << " not found\n";
        return CVNOptionResult::Error;
    }
    CVNDeviceInterface* view = session.findDevice(serial);
    if (!view) {
        out << names().first() << ": " << "device is locked\n";
        return CVNOptionResult::Processed;
    }
    session.selectDevice(view);
    out << "The device: " << serial << " is selected\n";
    return CVNOptionResult::Processed;
}
