#pragma once

#include "cli/commandlineoption.h"

class Entity;

// Drives one entity from the command line: the option's names are the extra
// names followed by the entity's command word, its description the entity's.
// The entity is not owned and must outlive the option.
class CVNCommandLineOptionEntity : public CVNCommandLineOption
{
public:
    explicit CVNCommandLineOptionEntity(Entity* entity, const QStringList& extraNames = QStringList());

    // Prints the entity's text and "\n"; Error when the text is empty or
    // mentions "error" in any letter case, else Processed.
    void execute(int& result, const QStringList& values, CVNCommandLineContext& context) override;
    void executeWithFiles(int& result, const QStringList& values, CVNFileTable& fileOperations,
                          CVNCommandLineContext& context) override;

    Entity* entity() const { return m_entity; }

private:
    Entity* m_entity;
};
