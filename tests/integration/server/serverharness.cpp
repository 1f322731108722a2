#include "serverharness.h"

#include "com/binaryjson.h"
#include "com/commanager.h"
#include "com/discoverydatagram.h"
#include "device/devicemanager.h"
#include "server/applicationserver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>
#include <QUdpSocket>
#include <QUrlQuery>

namespace ServerTest {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

QJsonObject deviceAction(const QString& key, const QString& serial, const QJsonValue& value)
{
    QJsonObject action{{"key", key}, {"id", 1}, {"device", serial}};
    if (!value.isUndefined())
        action.insert("value", value);
    return action;
}

void CoreOnSim::startWith(const QStringList& setups, bool withClient)
{
    sim = std::make_unique<SimProcess>(setups);
    ASSERT_TRUE(sim->isRunning());
    core = std::make_unique<ServiceCore>();
    ASSERT_TRUE(core->start(sim->socketPath(), setups.size()));
    if (withClient) {
        client = connectClient();
        ASSERT_TRUE(client);
    }
}

std::unique_ptr<TestClient> CoreOnSim::connectClient()
{
    auto connected = std::make_unique<TestClient>();
    if (!connected->connectTo(core->port()))
        return nullptr;
    const int before = core->server()->sessions().size();
    if (!waitUntil([&] { return core->server()->sessions().size() > before; }))
        return nullptr;
    return connected;
}

void CoreOnSim::TearDown()
{
    client.reset();
    core.reset();
    sim.reset();
}

ServiceCore::~ServiceCore()
{
    m_server.reset();
    m_manager.reset();
    qunsetenv("CORVANE_SIM_SOCKET");
}

bool ServiceCore::start(const QString& simSocket, int expectedDevices)
{
    qputenv("CORVANE_SIM_SOCKET", simSocket.toLocal8Bit());
    m_manager = std::make_unique<CVNDeviceManager>();
    m_server = std::make_unique<CVNApplicationServer>(m_manager.get());
    // Tests must not need the fixed discovery port.
    m_server->communicationManager()->setDiscoveryPort(0);
    QSignalSpy started(m_manager.get(), &CVNDeviceManager::started);
    m_manager->start();
    if (started.isEmpty() && !started.wait(kWaitMs))
        return false;
    if (!waitUntil([&] { return m_server->deviceInterfaces().size() >= expectedDevices; }))
        return false;
    m_server->start();
    return port() != 0;
}

quint16 ServiceCore::port() const
{
    return m_server->communicationManager()->server().serverPort();
}

quint16 ServiceCore::discoveryPort() const
{
    return m_server->communicationManager()->peerManager().boundPort();
}

TestClient::~TestClient()
{
    socket.abort();
}

bool TestClient::connectTo(quint16 port)
{
    QObject::connect(&socket, &QTcpSocket::readyRead, [this] { readAvailable(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(kWaitMs);
}

void TestClient::announce(ConnectionType type, quint16 discoveryPort)
{
    QUdpSocket udp;
    const QByteArray info = DiscoveryDatagram::buildConnectionInfo(0, type, QStringLiteral("TestClient%1").arg(quintptr(this)),
                                                                   socket.localPort());
    udp.writeDatagram(info, QHostAddress::LocalHost, discoveryPort);
}

void TestClient::readAvailable()
{
    if (!m_buffer.append(socket.readAll()))
        return;
    while (std::optional<QJsonDocument> document = m_buffer.takeNext()) {
        const QJsonObject object = document->object();
        if (object.contains(QStringLiteral("notifications")))
            notifications.append(object);
        else
            m_responses.append(object);
    }
}

void TestClient::sendRaw(const QByteArray& bytes)
{
    socket.write(bytes);
    socket.flush();
}

const QJsonObject TestClient::nextResponse(int timeoutMs)
{
    if (!waitUntil([&] { return !m_responses.isEmpty(); }, timeoutMs))
        return QJsonObject();
    return m_responses.takeFirst();
}

const QJsonObject TestClient::request(const QJsonObject& document, int timeoutMs)
{
    sendRaw(CVNBinaryJson::encodeDocument(document));
    return nextResponse(timeoutMs);
}

bool TestClient::waitForNotifications(int count, int timeoutMs)
{
    return waitUntil([&] { return notifications.size() >= count; }, timeoutMs);
}

const QJsonObject TestClient::action(const QJsonObject& action)
{
    const QJsonObject response = request(
        QJsonObject{{QStringLiteral("actions"), QJsonObject{{QStringLiteral("list"), QJsonArray{action}}}}});
    return response.value(QStringLiteral("reactions")).toObject().value(QStringLiteral("list")).toArray().at(0).toObject();
}

const QJsonObject TestClient::cli(const QJsonArray& parser)
{
    return request(QJsonObject{{QStringLiteral("cli"), QJsonObject{{QStringLiteral("parser"), parser}}}})
        .value(QStringLiteral("cli"))
        .toObject();
}

QJsonObject TestClient::option(const QString& name, const QStringList& values)
{
    return QJsonObject{{QStringLiteral("option"), name},
                       {QStringLiteral("dash"), name.size() == 1 ? 1 : 2},
                       {QStringLiteral("values"), QJsonArray::fromStringList(values)}};
}

PortalStandIn::PortalStandIn()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    m_server.listen(QHostAddress::LocalHost, 0);
}

QString PortalStandIn::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/api").arg(m_server.serverPort());
}

void PortalStandIn::answer(QTcpSocket* socket)
{
    const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (!head.contains("\r\n\r\n"))
        return;
    const QList<QByteArray> lines = head.split('\n');
    const QString requestLine = QString::fromUtf8(lines.value(0)).trimmed();
    requestLines.append(requestLine);
    for (const QByteArray& line : lines) {
        if (line.toLower().startsWith("authorization:"))
            authorizations.append(QString::fromUtf8(line.mid(14)).trimmed());
    }
    const QUrl url(QStringLiteral("http://x") + requestLine.section(QLatin1Char(' '), 1, 1));
    const int status = statusBySerial.value(QUrlQuery(url).queryItemValue(QStringLiteral("serial")), 404);
    socket->write(QStringLiteral("HTTP/1.1 %1 Status\r\nContent-Type: application/json\r\nContent-Length: 2\r\n"
                                 "Connection: close\r\n\r\n{}")
                      .arg(status)
                      .toUtf8());
    socket->disconnectFromHost();
}

} // namespace ServerTest
