#pragma once

#include "interface/entity.h"

#include <QVariant>
#include <QVariantList>

class CVNDeviceInterface;

// A command of the device: arguments go out in a call request, the reply
// carries the result. Functions whose argument text starts with "file" and
// whose name ends with "upload" or "download" move a file through the
// request's file table.
class DeviceFunction : public CVNFunction
{
public:
    // Request state of a function.
    enum RequestState : int {
        NeverCalled = 0,
        CallRequested = 1,
        ResultReceived = 2,
    };

    DeviceFunction(CVNDeviceInterface* interface, const QString& name, const QString& command,
                   const QString& description, const QString& argumentText);

    QString execute(CVNEntityContext& context) override;
    void call(const QJsonValue& arguments) override;
    QJsonValue result() const override;
    CVNDeviceRequest makeRequest() override;
    void handleReply(const CVNDeviceRequest& reply) override;

    CVNDeviceInterface* deviceInterface() const { return m_interface; }
    int requestState() const { return m_requestState; }
    QString lastError() const { return m_lastError; }
    QVariantList arguments() const { return m_arguments; }
    QVariant resultValue() const { return m_result; }

    bool isFileUpload() const;
    bool isFileDownload() const;

protected:
    void send();

private:
    QString executePlain(CVNEntityContext& context);
    QString executeUpload(CVNEntityContext& context);
    QString executeDownload(CVNEntityContext& context);
    // State 1 and the exchange; the previous error is no longer relevant.
    // False without a result: the last error text says why.
    bool sendCall();

    CVNDeviceInterface* m_interface;
    QVariantList m_arguments;
    QVariant m_result;
    int m_requestState = NeverCalled;
    QString m_lastError;
};
