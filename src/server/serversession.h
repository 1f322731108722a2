#pragma once

#include "cli/commandlinecontext.h"
#include "com/comconnection.h"
#include "com/documentbuffer.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextStream>

#include <memory>

class CVNApplicationServer;
class CVNCommandLineExecuter;
class CVNDeferredResult;
class CVNPendingOptionList;
class CVNComConnection;
class CVNConnectionGuard;
class CVNDevice;
class CVNDeviceInterface;
class CVNSSNotifications;
class Entity;
class PropertyPortalToken;

// The service's side of one client connection: answers every request
// document in order, keeps the client's view of the devices (which it sees,
// which is selected, which view of each it may use) and runs the options of
// "cli" requests.
class CVNServerSession : public QObject, public CVNCommandLineContext
{
    Q_OBJECT
public:
    static QString openViewCorvaneLink() { return QStringLiteral("corvane_link"); }
    static QString openViewAdvanced() { return QStringLiteral("advanced"); }
    static QString openViewBasic() { return QStringLiteral("basic"); }

    CVNServerSession(CVNComConnection* connection, CVNApplicationServer* server);
    ~CVNServerSession() override;

    CVNComConnection* connection() const { return m_connection; }
    CVNApplicationServer* server() const { return m_server; }
    QDateTime connectionTime() const { return m_connectionTime; }
    // "Service", "VeilCLI", "DesktopLink", "CloudLink" or "Unknown".
    QString clientTypeName() const;
    static QString clientTypeName(int type);
    // Peer address and port, "ADDRESS:PORT".
    QString peerText() const;

    // The session's view of a device; the selected device for an empty
    // serial; none when the serial is not in the device table or the device
    // is locked by another session.
    CVNDeviceInterface* findDevice(const QString& serialNumber) const;
    CVNDeviceInterface* selectedDevice() const;
    void selectDevice(CVNDeviceInterface* view);
    void selectDefaultDevice();
    void addDevice(CVNDevice* descriptor);
    void removeDevice(CVNDevice* descriptor);
    // The same for a descriptor that may already be going away: only its
    // address is compared, the serial is given.
    void removeDevice(CVNDevice* descriptor, const QString& serialNumber);
    bool canAccessView(const QString& serialNumber, const QString& viewName) const;
    // Switches the session's view of a device when canAccessView allows it.
    [[nodiscard]] bool setDeviceView(const QString& serialNumber, const QString& viewName);
    static bool isOpenView(const QString& viewName);

    const QHash<QString, CVNDeviceInterface*>& devices() const { return m_devices; }
    const QHash<QString, bool>& grants() const { return m_grants; }
    void setGrant(const QString& serialNumber, bool granted);
    QString portalToken() const { return m_portalToken; }
    void setPortalToken(const QString& token) { m_portalToken = token; }

    CVNSSNotifications* notifications() const { return m_notifications.get(); }
    CVNCommandLineExecuter* executer() const { return m_executer.get(); }

    // Service-level lookup: service entities, session entities, then the
    // selected device; properties only. serial (optional) receives the
    // device serial when the property belongs to the selected device.
    Entity* lookupProperty(const QString& key, QString* serial = nullptr);
    Entity* sessionEntity(const QString& key) const { return m_entities.value(key); }

    // Version text of "version" and of the "version" action.
    QString versionText() const;
    CVNHelpTable helpTable() const;

    // Writes one document to the connection (responses and notifications).
    void sendDocument(const QJsonObject& object);
    // Handles one request document and returns its response.
    QJsonObject handleDocument(const QJsonDocument& document);

    // Output of the "cli" request being handled.
    QString takeOutput();

    // The option being run finishes later (a firmware upload): the answer
    // to its "cli" request waits for it, and no further request of this
    // client is read until then. Other clients are answered meanwhile.
    void waitFor(std::shared_ptr<CVNDeferredResult> result);
    bool isWaiting() const { return m_waitingFor != nullptr; }
    // The options of the waiting "cli" request as they stand.
    void holdOptions(const CVNPendingOptionList& options);

    // CVNContext
    Entity* entity(const QString& key) override { return lookupProperty(key); }
    // CVNCommandLineContext
    void consumeOptions(int& result, CVNPendingOptionList& options) override;
    void helpTable(int& result, CVNHelpTable& table) override;
    void version(int& result, QString& text) override;
    QTextStream& output() override { return m_outputStream; }

public slots:
    void close();
    void closeAndDelete();
    void disconnected();
    void stateChanged(QAbstractSocket::SocketState state);
    void error(QAbstractSocket::SocketError socketError);
    void readyRead();
    void aboutToClose();
    void deviceRemoved();
    void connectionTypeChanged();

private:
    void createEntities();
    void resetOutput();
    int consumeOne(CVNPendingOptionList& options);
    // Answers the complete documents received, in order, until one waits.
    void handleReceived();
    // The awaited result is there: the waiting "cli" request goes on.
    void resumeWaiting();

    QPointer<CVNComConnection> m_connection;
    CVNApplicationServer* m_server;
    QDateTime m_connectionTime;
    std::unique_ptr<CVNCommandLineExecuter> m_executer;
    std::unique_ptr<CVNSSNotifications> m_notifications;
    QPointer<CVNDeviceInterface> m_selected;
    QHash<QString, CVNDeviceInterface*> m_devices;
    QHash<QString, bool> m_grants;
    QHash<QString, Entity*> m_entities;  // owned
    PropertyPortalToken* m_tokenEntity = nullptr;
    QString m_portalToken;
    CVNDocumentBuffer m_receiveBuffer;
    CVNConnectionGuard* m_guard;  // child
    QString m_outputBuffer;
    QTextStream m_outputStream;
    bool m_handling = false;
    bool m_closing = false;
    std::shared_ptr<CVNDeferredResult> m_waitingFor;
    std::unique_ptr<CVNPendingOptionList> m_heldOptions;
    QJsonObject m_heldResponse;  // the answer of the waiting document, but for "cli"
};
