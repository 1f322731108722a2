#pragma once

#include "cli/commandlineoption.h"

class CVNApplicationServer;

// `list-clients`: every connection of the service with its client type.
class CVNOptionListConnections : public CVNCommandLineOption
{
public:
    explicit CVNOptionListConnections(CVNApplicationServer* server);
    void execute(int& result, const QStringList& values, CVNCommandLineContext& context) override;

private:
    CVNApplicationServer* m_server;
};
