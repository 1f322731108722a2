#pragma once

#include "cli/context.h"
#include "interface/settingscontext.h"
#include "server/ssparsedocument.h"
#include "service/serviceappdelegate.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class CVNCommandLineExecuter;
class CVNComConnection;
class CVNComManager;
class CVNDevice;
class CVNDeviceInterface;
class CVNDeviceListProperty;
class CVNDeviceManager;
class CVNDeviceParent;
class CVNServerSession;
class CVNWebConsole;
class DeviceInterfaceBuilder;
class Entity;
class PropertyUrl;
class QNetworkAccessManager;

// The core of the service: accepts client connections (one session each),
// builds a device interface for every usable channel of every inserted
// controller, keeps the device locks, and holds the service entities and
// the executers that run clients' command-line options.
class CVNApplicationServer : public QObject,
                             public CVNServiceAppDelegate,
                             public SettingsContext,
                             public CVNContext
{
    Q_OBJECT
public:
    static constexpr int kDefaultListenType = QHostAddress::LocalHost;
    static QString defaultPortalUrl() { return QStringLiteral("https://portal.corvane.example/api"); }

    explicit CVNApplicationServer(CVNDeviceManager* deviceManager, QObject* parent = nullptr);
    ~CVNApplicationServer() override;

    // The one instance of the process, or none.
    static CVNApplicationServer* instance();

    // CVNServiceAppDelegate
    void start() override;
    void stop() override;
    void pause() override;
    void resume() override;
    void processCommand(int command) override;

    // Changes the listen type (2 LocalHost, 4 Any) and stores it.
    void setListenType(int type);
    int listenType() const;

    // CVNContext: the service entities.
    bool hasEntity(const QString& key) override;
    Entity* entity(const QString& key) override;

    // SettingsContext: forwarded to every device interface.
    void saveSettings(QSettings& settings) override;
    void loadSettings(QSettings& settings) override;

    const QHash<CVNComConnection*, CVNServerSession*>& sessions() const { return m_sessions; }
    QList<CVNCommandLineExecuter*> executers() const;
    const CVNSSParseDocument& documentParser() const { return m_parser; }
    CVNComManager* communicationManager() const { return m_comManager; }
    CVNWebConsole* webConsole() const { return m_webConsole; }
    CVNDeviceManager* deviceManager() const { return m_deviceManager; }
    QNetworkAccessManager* networkAccess() const { return m_network; }
    CVNDeviceListProperty* devicesListEntity() const { return m_devicesList; }

    // Descriptors of non-parent devices with an interface that are unlocked
    // or locked by the session.
    QList<CVNDevice*> availableInterfaces(const CVNServerSession* session) const;
    CVNDeviceInterface* deviceInterface(CVNDevice* descriptor) const { return m_interfaces.value(descriptor); }
    const QHash<CVNDevice*, CVNDeviceInterface*>& deviceInterfaces() const { return m_interfaces; }
    // The interface of a controller's serial, Hid preferred; none without one.
    CVNDeviceInterface* interfaceForSerial(const QString& serialNumber) const;

    // Device locks: descriptor -> the session holding it.
    CVNServerSession* lockOwner(CVNDevice* descriptor) const { return m_locks.value(descriptor); }
    bool isLocked(CVNDevice* descriptor) const { return m_locks.contains(descriptor); }
    bool isLockedByOther(CVNDevice* descriptor, const CVNServerSession* session) const;
    void lockDevice(CVNDevice* descriptor, CVNServerSession* session);
    void unlockDevice(CVNDevice* descriptor);
    // Releases every lock of a session that ends and resets those devices.
    void releaseLocks(CVNServerSession* session);

signals:
    void insertedSession(CVNServerSession* session);
    void removedSession(CVNServerSession* session);

public slots:
    void deviceInserted(CVNDeviceParent* device);
    void deviceRemoved(CVNDeviceParent* device);
    void newConnection(CVNComConnection* connection);
    void closedConnection(CVNComConnection* connection);
    void deleteInvalidInterfaces();
    // A channel of the device failed during an exchange: the device goes.
    void interfaceDeviceInvalidated(CVNDevice* device);

private:
    void createExecuters();
    void createEntities();
    void listen(int type);
    // The listen type in the settings ("listen-type", local only by default).
    int storedListenType() const;
    void addInterface(CVNDevice* descriptor);
    // Takes a descriptor's interface out of service (deleted after the
    // current event); the descriptor may already be going away.
    void retireInterface(CVNDevice* descriptor, const QString& serialNumber);

    CVNComManager* m_comManager;
    CVNWebConsole* m_webConsole;  // child
    CVNDeviceManager* m_deviceManager;
    QHash<CVNComConnection*, CVNServerSession*> m_sessions;
    std::unique_ptr<CVNCommandLineExecuter> m_connectionExecuter;
    std::unique_ptr<CVNCommandLineExecuter> m_deviceOptionsExecuter;
    std::unique_ptr<CVNCommandLineExecuter> m_deviceExecuter;
    CVNSSParseDocument m_parser;
    QHash<CVNDevice*, CVNDeviceInterface*> m_interfaces;
    std::unique_ptr<DeviceInterfaceBuilder> m_builder;
    QHash<QString, Entity*> m_entities;  // owned
    QList<CVNDeviceInterface*> m_invalidInterfaces;
    CVNDeviceListProperty* m_devicesList = nullptr;
    PropertyUrl* m_portalUrl = nullptr;
    QNetworkAccessManager* m_network;
    QHash<CVNDevice*, CVNServerSession*> m_locks;
    QHash<CVNDevice*, QString> m_serials;  // serial of each descriptor with an interface
    bool m_deleteScheduled = false;
};
