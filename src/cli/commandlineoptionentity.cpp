#include "cli/commandlineoptionentity.h"

#include "cli/commandlinecontext.h"
#include "cli/optionresult.h"
#include "interface/entity.h"

#include <QTextStream>

namespace {
QStringList entityNames(const Entity* entity, const QStringList& extraNames)
{
    QStringList names = extraNames;
    if (entity && !entity->command().isEmpty())
        names.append(entity->command());
    return names;
}
}

CVNCommandLineOptionEntity::CVNCommandLineOptionEntity(Entity* entity, const QStringList& extraNames)
    : CVNCommandLineOption(entityNames(entity, extraNames), entity ? entity->description() : QString())
    , m_entity(entity)
{
}

void CVNCommandLineOptionEntity::execute(int& result, const QStringList& values, CVNCommandLineContext& context)
{
    CVNFileTable noFiles;
    executeWithFiles(result, values, noFiles, context);
}

void CVNCommandLineOptionEntity::executeWithFiles(int& result, const QStringList& values,
                                                  CVNFileTable& fileOperations, CVNCommandLineContext& context)
{
    if (!m_entity) {
        result = CVNOptionResult::Error;
        return;
    }
    CVNEntityContext entityContext;
    entityContext.arguments = values;
    entityContext.fileTable = fileOperations;
    const QString text = m_entity->execute(entityContext);
    fileOperations = entityContext.fileTable;
    context.output() << text << "\n";
    const bool failed
        = entityContext.failed || text.isEmpty() || text.contains(QLatin1String("error"), Qt::CaseInsensitive);
    result = failed ? CVNOptionResult::Error : CVNOptionResult::Processed;
}
