#pragma once

#include "cli/commandlineoption.h"

class Entity;

// `device-help`: the entities of one view of the selected device as
// command-line options.
class CVNOptionHelpDevice : public CVNCommandLineOption
{
public:
    CVNOptionHelpDevice();
    void execute(int& result, const QStringList& values, CVNCommandLineContext& context) override;

    // " --command [hint]" padded to the description column, then the description.
    static QString entityLine(Entity* entity);
};
