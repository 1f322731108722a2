// One client connection of the simulator. Its first line decides its role:
// a control request, `watch`, or `open PATH` for a handle on an interface.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalSocket;

namespace corvanesim {

class CVNSimServer;

class CVNSimConnection : public QObject {
    Q_OBJECT
public:
    enum class Role { Undecided, Control, Watch, Handle };

    CVNSimConnection(QLocalSocket* socket, CVNSimServer* server);

    Role role() const { return m_role; }
    QString handlePath() const { return m_path; }

    void sendLine(const QString& line);
    // Closes after the pending answers are written.
    void close();

signals:
    void closed(CVNSimConnection* connection);

private:
    void readLines();
    void handleLine(const QString& line);
    void decideRole(const QString& line);
    void handleTransfer(const QString& line);

    QLocalSocket* m_socket;
    CVNSimServer* m_server;
    QByteArray m_buffer;
    Role m_role = Role::Undecided;
    QString m_path;
    bool m_closing = false;
};

}  // namespace corvanesim
