#include "service/serviceserver.h"

#include "device/serviceosobserver.h"
#include "device/threadhandoff.h"
#include "service/servicelog.h"
#include "service/serviceplatformhandler.h"
#include "service/serviceserverevent.h"

#include <QCoreApplication>

CVNServiceServer::CVNServiceServer(
    const QString& name, const QString& description, CVNServiceAppDelegate* delegate, QObject* parent)
    : QObject(parent)
    , m_name(name)
    , m_controller(name, description)
    , m_delegate(delegate)
    , m_handler(std::make_unique<CVNServicePlatformHandler>(this))
{
}

CVNServiceServer::~CVNServiceServer()
{
    // Control events still queued die with this object; their threads are
    // released by the events' destructors, so the handler goes first.
    m_handler.reset();
}

bool CVNServiceServer::blockControlSignals()
{
    return CVNServicePlatformHandler::blockControlSignals(nullptr);
}

int CVNServiceServer::exec(const QStringList& arguments)
{
    qCDebug(lcService) << "start exec";
    if (!QCoreApplication::instance())
        createApplication(arguments);
    m_delegateStarted = false;
    m_delegateStopped = false;
    if (!m_handler->start()) {
        qCWarning(lcService) << "fail to start service" << m_name;
        return -1;
    }
    const int exitCode = QCoreApplication::exec();
    m_handler->stop();
    finishWithoutStopControl();
    qCDebug(lcService) << "stop exec" << exitCode;
    return exitCode;
}

void CVNServiceServer::createApplication(const QStringList& arguments)
{
    const QStringList effective = arguments.isEmpty() ? QStringList { m_name } : arguments;
    m_argumentData.clear();
    for (const QString& argument : effective)
        m_argumentData.push_back(argument.toLocal8Bit());
    m_argv.clear();
    for (QByteArray& argument : m_argumentData)
        m_argv.push_back(argument.data());
    m_argv.push_back(nullptr);
    m_argc = int(m_argumentData.size());
    m_application = std::make_unique<QCoreApplication>(m_argc, m_argv.data());
}

// The loop may end without a stop control (the application quit on its own):
// the delegate still gets its stop, and the observers hear of it.
void CVNServiceServer::finishWithoutStopControl()
{
    if (!m_delegateStarted || m_delegateStopped)
        return;
    m_delegateStopped = true;
    if (m_delegate)
        m_delegate->stop();
    notifyStopped();
}

void CVNServiceServer::addObserver(CVNServiceOSObserver* observer)
{
    if (observer && !m_observers.contains(observer))
        m_observers.append(observer);
}

void CVNServiceServer::customEvent(QEvent* event)
{
    CVNThreadHandoff::receive(event);
    if (event->type() != CVNServiceServerEvent::kType)
        return;
    static_cast<CVNServiceServerEvent*>(event)->execute(this);
}

void CVNServiceServer::runDelegate(void (CVNServiceAppDelegate::*operation)())
{
    if (operation == &CVNServiceAppDelegate::start)
        m_delegateStarted = true;
    if (m_delegate)
        (m_delegate->*operation)();
}

void CVNServiceServer::runCommand(int command)
{
    if (m_delegate)
        m_delegate->processCommand(command);
}

void CVNServiceServer::runStop()
{
    if (!m_delegateStopped) {
        m_delegateStopped = true;
        if (m_delegate && m_delegateStarted)
            m_delegate->stop();
        notifyStopped();
    }
    QCoreApplication::exit(0);
}

void CVNServiceServer::notifyStarted()
{
    m_observersStarted = true;
    for (CVNServiceOSObserver* observer : qAsConst(m_observers))
        observer->serviceStarted();
}

void CVNServiceServer::notifyStopped()
{
    if (!m_observersStarted)
        return;
    m_observersStarted = false;
    for (CVNServiceOSObserver* observer : qAsConst(m_observers))
        observer->serviceStopped();
}
