// The requests of a control connection, one handler per request word.
#pragma once

#include <QStringList>

namespace corvanesim {

class CVNSimServer;

class CVNControlHandler {
public:
    explicit CVNControlHandler(CVNSimServer* server) : m_server(server) {}

    // The answer lines of one request line.
    QStringList handle(const QString& line);

    // Request words a control connection accepts.
    static bool isControlRequest(const QString& word);

private:
    friend struct ControlTable;
    QStringList list(const QStringList& args);
    QStringList plug(const QStringList& args);
    QStringList unplug(const QStringList& args);
    QStringList fail(const QStringList& args);
    QStringList garbage(const QStringList& args);
    QStringList shortAnswers(const QStringList& args);
    QStringList vanish(const QStringList& args);
    QStringList set(const QStringList& args);
    QStringList get(const QStringList& args);
    QStringList damage(const QStringList& args);
    QStringList heal(const QStringList& args);
    QStringList dfufault(const QStringList& args);
    // Touches placed by clients (touchcontrol.cpp).
    QStringList touch(const QStringList& args);
    QStringList pen(const QStringList& args);
    QStringList lift(const QStringList& args);
    // Faults of the controller's auto-tune (autotunecontrol.cpp).
    QStringList tunefault(const QStringList& args);
    // Tangible objects (objectcontrol.cpp).
    QStringList object(const QStringList& args);

    CVNSimServer* m_server;
};

}  // namespace corvanesim
