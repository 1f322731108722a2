#pragma once

#include "cli/commandlineoption.h"

// `device-cache`: drops the cached values of the selected device and reads
// them again.
class CVNOptionCacheDevice : public CVNCommandLineOption
{
public:
    CVNOptionCacheDevice();
    void execute(int& result, const QStringList& values, CVNCommandLineContext& context) override;
};
