#include "server/optionhelpdevice.h"

#include "cli/helptable.h"
#include "cli/optionresult.h"
#include "device/device.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfaceview.h"
#include "interface/entity.h"
#include "server/serversession.h"

#include <QTextStream>

#include <algorithm>

namespace {
QString hintOf(Entity* entity)
{
    if (entity->kind() == Entity::PropertyKind)
        return static_cast<CVNProperty*>(entity)->argumentHint();
    QString text = static_cast<CVNFunction*>(entity)->argumentText();
    // Function argument texts come bracketed already ("[dfu]").
    if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')))
        text = text.mid(1, text.size() - 2);
    return text;
}
} // namespace

CVNOptionHelpDevice::CVNOptionHelpDevice()
    : CVNCommandLineOption({QStringLiteral("g"), QStringLiteral("device-help")},
                           QStringLiteral("Show extended help for selected device."))
{
}

QString CVNOptionHelpDevice::entityLine(Entity* entity)
{
    QString line = QStringLiteral(" --") + entity->command();
    const QString hint = hintOf(entity);
    if (!hint.isEmpty())
        line += QStringLiteral(" [") + hint + QLatin1Char(']');
    line = line.leftJustified(CVNHelp::kDescriptionColumn);
    if (!line.endsWith(QLatin1Char(' ')))
        line += QLatin1Char(' ');
    if (line.size() > CVNHelp::kDescriptionColumn)
        return line + QLatin1Char('\n') + entity->description().rightJustified(CVNHelp::kWrappedDescriptionWidth);
    return line + entity->description();
}

void CVNOptionHelpDevice::execute(int& result, const QStringList& values, CVNCommandLineContext& context)
{
    QTextStream& out = context.output();
    auto* session = dynamic_cast<CVNServerSession*>(&context);
    CVNDeviceInterface* selected = session ? session->findDevice(QString()) : nullptr;
    CVNDevice* device = selected ? selected->device() : nullptr;
    if (!device) {
        out << "device not found\n";
        result = CVNOptionResult::Error;
        return;
    }
    const QString viewName = values.isEmpty() ? QStringLiteral("basic") : values.first();
    CVNDeviceInterface* root = selected->parentInterface() ? selected->parentInterface() : selected;
    CVNDeviceInterface* view = root->view(viewName);
    // A view this session may not use is not shown either.
    if (!view || !session->canAccessView(device->serialNumber(), viewName)) {
        out << "view not found\n";
        result = CVNOptionResult::Error;
        return;
    }
    out << names().first() << ":\n\"" << device->productName() << " " << device->serialNumber() << " "
        << deviceKindText(device->kind()) << "\" " << viewName << " options\n";

    QList<Entity*> entities;
    for (const QString& name : view->entityNames()) {
        if (Entity* entity = view->entity(name))
            entities.append(entity);
    }
    std::stable_sort(entities.begin(), entities.end(), [](Entity* a, Entity* b) {
        if (a->command().isEmpty() != b->command().isEmpty())
            return b->command().isEmpty();
        return a->command() < b->command();
    });
    for (Entity* entity : entities)
        out << entityLine(entity) << "\n";
    result = CVNOptionResult::Processed;
}
