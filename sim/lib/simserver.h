// The simulated USB bus: a Unix socket server holding the virtual
// controllers, announcing arrivals and removals, and serving transfers.
#pragma once

#include "controllersetup.h"
#include "usbinterface.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace corvanesim {

class CVNSimConnection;
class CVNTrafficLog;
class CVNVirtualController;

class CVNSimServer : public QObject {
    Q_OBJECT
public:
    explicit CVNSimServer(QObject* parent = nullptr);
    ~CVNSimServer() override;

    // Refuses a socket path on which another simulator is listening.
    [[nodiscard]] bool listen(const QString& path, QString* error);
    // Stops listening, closes every connection and removes the socket file.
    void close();

    void setTrafficLog(CVNTrafficLog* log) { m_traffic = log; }

    [[nodiscard]] bool plug(const ControllerSetup& setup, QString* error);
    [[nodiscard]] bool unplug(const QString& serial, QString* error);
    CVNVirtualController* controller(const QString& serial) const;
    CVNVirtualController* controllerForPath(const QString& path) const;
    QList<UsbInterface> interfaces() const;

    // Answer lines of one control request (list, plug, unplug, fail, ...).
    QStringList control(const QString& line);

signals:
    void plugged(const QString& serial);
    void unplugged(const QString& serial);

private:
    void acceptConnections();
    void forget(CVNSimConnection* connection);
    void notifyWatchers(const QString& line);
    // The controller leaves the bus and comes back in the form it changed
    // to (DFU mode, new firmware): handles on its old interfaces close.
    void reenumerate(const QString& key);

    QLocalServer* m_server = nullptr;
    QString m_path;
    QMap<QString, std::shared_ptr<CVNVirtualController>> m_controllers;  // by lower-case serial
    QList<CVNSimConnection*> m_connections;
    CVNTrafficLog* m_traffic = nullptr;
};

}  // namespace corvanesim
