// corvane-request: sends request documents, written as JSON text, to a
// running CorvaneService and prints each answer as JSON text. A developer's
// tool for trying the request protocol by hand (and used by scripts/demo).
//
//   corvane-request [--host ADDRESS] [--port PORT] 'JSON' ['JSON'...]
//
// Without --port the service on ADDRESS is found by a discovery datagram.
// All documents travel over one connection, so they share one session
// (a lock taken by the first lasts until the last has been answered).
#include "com/binaryjson.h"
#include "com/comlimits.h"
#include "com/documentbuffer.h"
#include "com/jsontextcheck.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QTextStream>

#include <cstdio>

namespace {
constexpr int kTimeoutMs = 8000;

constexpr quint16 kDiscoveryPort = CVNComLimits::kDiscoveryPort;

int fail(const QString& text)
{
    QTextStream(stderr) << "corvane-request: " << text << "\n";
    return 1;
}

// Asks the service on `host` for its TCP port, as any client does.
quint16 discoverPort(const QString& host)
{
    QUdpSocket udp;
    if (!udp.bind(QHostAddress(QHostAddress::Any), 0))
        return 0;
    const QJsonObject discovery{
        {QStringLiteral("frame_type"), QStringLiteral("discovery")},
        {QStringLiteral("server_port"), 0},
        {QStringLiteral("type"), QStringLiteral("VeilCLI")},
        {QStringLiteral("id"), QStringLiteral("corvane-request-%1").arg(QCoreApplication::applicationPid())},
    };
    udp.writeDatagram(CVNBinaryJson::encodeDocument(discovery), QHostAddress(host), kDiscoveryPort);
    while (udp.waitForReadyRead(kTimeoutMs)) {
        while (udp.hasPendingDatagrams()) {
            const qint64 size = udp.pendingDatagramSize();
            if (size < 0 || size > CVNComLimits::kMaxDatagramSize) {
                (void)udp.readDatagram(nullptr, 0);
                continue;
            }
            QByteArray datagram(int(size), '\0');
            udp.readDatagram(datagram.data(), datagram.size());
            QJsonObject answer;
            if (CVNBinaryJson::decodeObject(datagram, CVNComLimits::kDatagramLimits, &answer)
                && answer.value(QStringLiteral("type")).toString() == QLatin1String("Service"))
                return quint16(answer.value(QStringLiteral("server_port")).toInt());
        }
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 0;
    QList<QJsonObject> requests;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--host") && i + 1 < args.size()) {
            host = args[++i];
        } else if (args[i] == QLatin1String("--port") && i + 1 < args.size()) {
            port = args[++i].toUShort();
        } else {
            // The same limits the service applies to what it receives, checked
            // before Qt's parser (which recurses per nesting level) runs.
            const QByteArray text = args[i].toUtf8();
            const CVNBinaryJson::CheckResult limits = CVNJsonText::checkLimits(text, CVNComLimits::kStreamDocumentLimits);
            if (!limits.ok)
                return fail(QStringLiteral("request refused: %1").arg(limits.reason));
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
            if (!doc.isObject())
                return fail(QStringLiteral("not a JSON object: %1 (%2)").arg(args[i], error.errorString()));
            requests.append(doc.object());
        }
    }
    if (requests.isEmpty())
        return fail(QStringLiteral("usage: corvane-request [--host ADDRESS] [--port PORT] 'JSON'..."));
    if (port == 0 && (port = discoverPort(host)) == 0)
        return fail(QStringLiteral("No service found on %1").arg(host));

    QTcpSocket socket;
    socket.connectToHost(QHostAddress(host), port);
    if (!socket.waitForConnected(kTimeoutMs))
        return fail(QStringLiteral("cannot connect to %1:%2: %3").arg(host).arg(port).arg(socket.errorString()));

    CVNDocumentBuffer buffer;
    QTextStream out(stdout);
    for (const QJsonObject& request : requests) {
        socket.write(CVNBinaryJson::encodeDocument(request));
        std::optional<QJsonDocument> answer;
        while (!answer) {
            if (!socket.waitForReadyRead(kTimeoutMs))
                return fail(QStringLiteral("no answer: %1").arg(socket.errorString()));
            if (!buffer.append(socket.readAll()))
                return fail(QStringLiteral("unreadable answer: %1").arg(buffer.errorText()));
            answer = buffer.takeNext();
        }
        out << answer->toJson(QJsonDocument::Indented);
        out.flush();
    }
    return 0;
}
