#pragma once

#include "cli/commandlineoption.h"

class CVNApplicationServer;

// `allow-network`: shows or switches whether clients from the network are
// accepted (listen type 4) or local clients only (listen type 2).
class CVNOptionListenClients : public CVNCommandLineOption
{
public:
    explicit CVNOptionListenClients(CVNApplicationServer* server);
    void execute(int& result, const QStringList& values, CVNCommandLineContext& context) override;

private:
    CVNApplicationServer* m_server;
};
