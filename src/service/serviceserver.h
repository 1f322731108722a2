#pragma once

#include "service/serviceappdelegate.h"
#include "service/servicecontroller.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

class QCoreApplication;
class CVNServiceOSObserver;
class CVNServicePlatformHandler;

// The service host: runs the event loop on the main thread and turns the
// control requests of the service manager (signals under systemd) into calls
// of the application's delegate on that thread.
class CVNServiceServer : public QObject
{
    Q_OBJECT

public:
    // `delegate` is not owned and must outlive the server.
    CVNServiceServer(const QString& name, const QString& description, CVNServiceAppDelegate* delegate,
        QObject* parent = nullptr);
    ~CVNServiceServer() override;

    // Runs the service until it is stopped; the exit code, -1 when the
    // control handling could not be started. Creates the core application
    // when there is none yet (it then lives as long as this server).
    [[nodiscard]] int exec(const QStringList& arguments);

    // Told on the main thread when the service has started and when it
    // stops. Not owned; each observer is added once.
    void addObserver(CVNServiceOSObserver* observer);

    CVNServiceController* controller() { return &m_controller; }
    CVNServiceAppDelegate* delegate() const { return m_delegate; }
    QString name() const { return m_name; }

    // Blocks the control signals in the calling thread, so that every thread
    // started from it afterwards leaves them to the control thread. exec()
    // does it; call it earlier when threads are started before exec().
    [[nodiscard]] static bool blockControlSignals();

    // Main-thread steps of the control events.
    void runDelegate(void (CVNServiceAppDelegate::*operation)());
    void runCommand(int command);
    void runStop();
    void notifyStarted();

protected:
    void customEvent(QEvent* event) override;

private:
    void createApplication(const QStringList& arguments);
    void finishWithoutStopControl();
    void notifyStopped();

    QString m_name;
    CVNServiceController m_controller;
    CVNServiceAppDelegate* m_delegate;
    std::unique_ptr<CVNServicePlatformHandler> m_handler;
    QList<CVNServiceOSObserver*> m_observers;
    bool m_delegateStarted = false;
    bool m_delegateStopped = false;
    bool m_observersStarted = false;

    // Storage for the core application's argc/argv, which it keeps referring to.
    std::vector<QByteArray> m_argumentData;
    std::vector<char*> m_argv;
    int m_argc = 0;
    std::unique_ptr<QCoreApplication> m_application;
};
