#pragma once

#include "cli/commandlineoption.h"

class CVNApplicationServer;
class CVNServerSession;

// `device`: shows the selected device, or selects one by serial number or
// by its order number in the device manager's list.
class CVNOptionSelectDevice : public CVNCommandLineOption
{
public:
    static constexpr int kSerialLength = 12;

    explicit CVNOptionSelectDevice(CVNApplicationServer* server);
    void execute(int& result, const QStringList& values, CVNCommandLineContext& context) override;

private:
    int selectBySerial(CVNServerSession& session, const QString& serial);
    int selectByOrder(CVNServerSession& session, const QString& order);

    CVNApplicationServer* m_server;
};
