#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include "com/connectiontype.h"
#include "com/documentbuffer.h"
#include "simprocess.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

class CVNApplicationServer;
class CVNDeviceManager;

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace ServerTest {

constexpr int kWaitMs = 10000;

// Polls the event loop until the condition holds or the bound passes.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = kWaitMs);

// The service core in this process: the real device manager on the
// simulator and the application server listening on loopback.
class ServiceCore
{
public:
    ~ServiceCore();

    // Starts the manager (enumeration) and the server; false on failure.
    [[nodiscard]] bool start(const QString& simSocket, int expectedDevices);
    quint16 port() const;
    quint16 discoveryPort() const;
    CVNApplicationServer* server() const { return m_server.get(); }

private:
    std::unique_ptr<CVNDeviceManager> m_manager;
    std::unique_ptr<CVNApplicationServer> m_server;
};

// A client on a real TCP socket: binary JSON documents out, responses and
// notifications in.
class TestClient
{
public:
    TestClient() = default;
    ~TestClient();

    [[nodiscard]] bool connectTo(quint16 port);
    // Tells the service which kind of client this is (connection-info datagram).
    void announce(ConnectionType type, quint16 discoveryPort);

    // Sends one document and waits for the next response (not a notification).
    const QJsonObject request(const QJsonObject& document, int timeoutMs = kWaitMs);
    void sendRaw(const QByteArray& bytes);
    // The next response already in or arriving within the bound; empty on timeout.
    const QJsonObject nextResponse(int timeoutMs = kWaitMs);
    // Waits for at least `count` notification documents.
    bool waitForNotifications(int count, int timeoutMs = kWaitMs);

    // Shorthands for one action / one cli request.
    const QJsonObject action(const QJsonObject& action);
    const QJsonObject cli(const QJsonArray& parser);
    static QJsonObject option(const QString& name, const QStringList& values = {});

    QList<QJsonObject> notifications;
    QTcpSocket socket;

private:
    void readAvailable();

    CVNDocumentBuffer m_buffer;
    QList<QJsonObject> m_responses;
};

// A stand-in for the portal on plain HTTP: answers the token check with the
// status code set for each serial, and records what it was asked.
class PortalStandIn : public QObject
{
    Q_OBJECT
public:
    PortalStandIn();
    QString url() const;
    QHash<QString, int> statusBySerial;
    QStringList requestLines;
    QStringList authorizations;

private:
    void answer(QTcpSocket* socket);
    QTcpServer m_server;
};

// One action on a controller: id 1, the device named, the value when given.
QJsonObject deviceAction(const QString& key, const QString& serial, const QJsonValue& value = QJsonValue::Undefined);

// corvane-sim with the given controllers, the service core on it, and the
// clients a test connects.
struct CoreOnSim : ::testing::Test
{
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<ServiceCore> core;
    std::unique_ptr<TestClient> client;

    // Starts both; with `withClient`, `client` is connected with its session open.
    void startWith(const QStringList& setups, bool withClient = true);
    // A new client whose session the server holds; null on failure.
    std::unique_ptr<TestClient> connectClient();
    void TearDown() override;
};

} // namespace ServerTest
