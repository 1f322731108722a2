#include "simconnection.h"

#include "controlhandler.h"
#include "handlesession.h"
#include "simlimits.h"
#include "simserver.h"
#include "virtualcontroller.h"

#include <QLocalSocket>

namespace corvanesim {

CVNSimConnection::CVNSimConnection(QLocalSocket* socket, CVNSimServer* server)
    : QObject(server), m_socket(socket), m_server(server)
{
    m_socket->setParent(this);
    connect(m_socket, &QLocalSocket::readyRead, this, &CVNSimConnection::readLines);
    connect(m_socket, &QLocalSocket::disconnected, this, [this] {
        m_closing = true;
        emit closed(this);
    });
}

void CVNSimConnection::sendLine(const QString& line)
{
    if (m_closing)
        return;
    m_socket->write(line.toUtf8() + '\n');
}

void CVNSimConnection::close()
{
    if (m_closing)
        return;
    m_closing = true;
    m_socket->disconnectFromServer();
}

void CVNSimConnection::readLines()
{
    m_buffer += m_socket->readAll();
    int newline;
    while (!m_closing && (newline = m_buffer.indexOf('\n')) >= 0) {
        if (newline > MaxLineLength) {
            close();
            return;
        }
        const QByteArray line = m_buffer.left(newline);
        m_buffer.remove(0, newline + 1);
        handleLine(QString::fromUtf8(line).remove(QLatin1Char('\r')));
    }
    if (m_buffer.size() > MaxLineLength)
        close();
}

void CVNSimConnection::handleLine(const QString& line)
{
    switch (m_role) {
    case Role::Undecided:
        decideRole(line);
        break;
    case Role::Control:
        for (const QString& answer : m_server->control(line))
            sendLine(answer);
        break;
    case Role::Handle:
        handleTransfer(line);
        break;
    case Role::Watch:
        break;  // a watcher only listens
    }
}

void CVNSimConnection::decideRole(const QString& line)
{
    const QString word = line.section(QLatin1Char(' '), 0, 0);
    if (word == QLatin1String("watch") && line == word) {
        m_role = Role::Watch;
        sendLine(QStringLiteral("ok"));
    } else if (word == QLatin1String("open")) {
        const QString path = line.section(QLatin1Char(' '), 1);
        if (path.isEmpty() || !m_server->controllerForPath(path)) {
            sendLine(QStringLiteral("error no interface %1").arg(path));
            return;
        }
        m_role = Role::Handle;
        m_path = path;
        sendLine(QStringLiteral("ok"));
    } else if (CVNControlHandler::isControlRequest(word)) {
        m_role = Role::Control;
        handleLine(line);
    } else {
        sendLine(QStringLiteral("error unknown request \"%1\"").arg(word));
    }
}

void CVNSimConnection::handleTransfer(const QString& line)
{
    CVNVirtualController* controller = m_server->controllerForPath(m_path);
    if (!controller) {
        sendLine(QStringLiteral("fail"));
        return;
    }
    const HandleAnswer answer = performHandleRequest(controller, controller->interfaceKind(m_path), line);
    if (!answer.silent)
        sendLine(answer.line);
    if (answer.vanished) {
        QString ignored;
        (void)m_server->unplug(controller->serial(), &ignored);
    }
}

}  // namespace corvanesim
