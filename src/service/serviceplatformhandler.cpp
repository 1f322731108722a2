#include "service/serviceplatformhandler.h"

#include "device/threadhandoff.h"
#include "service/servicelog.h"
#include "service/serviceserver.h"
#include "service/serviceserverevent.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <systemd/sd-daemon.h>

namespace
{

CVNServicePlatformHandler* g_handler = nullptr;

// Bounds the emptying of the signal queue at the end (one pass per signal).
constexpr int kMaxDrainedSignals = 256;

void notifySystemd(const char* state)
{
    // Does nothing unless systemd gave us NOTIFY_SOCKET.
    const int result = sd_notify(0, state);
    if (result < 0)
        qCWarning(lcService) << "sd_notify failed" << std::strerror(-result);
}

} // namespace

CVNServicePlatformHandler::CVNServicePlatformHandler(CVNServiceServer* server)
    : m_server(server)
{
    g_handler = this;
}

CVNServicePlatformHandler::~CVNServicePlatformHandler()
{
    if (m_worker && m_worker->isRunning())
        stop();
    if (g_handler == this)
        g_handler = nullptr;
}

CVNServicePlatformHandler* CVNServicePlatformHandler::instance()
{
    return g_handler;
}

sigset_t CVNServicePlatformHandler::controlSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signalNumber : { SIGTERM, SIGINT, SIGTSTP, SIGCONT })
        sigaddset(&set, signalNumber);
    const int lastUser = std::min(SIGRTMAX, SIGRTMIN + (kLastUserControl - kFirstUserControl));
    for (int signalNumber = SIGRTMIN; signalNumber <= lastUser; ++signalNumber)
        sigaddset(&set, signalNumber);
    return set;
}

bool CVNServicePlatformHandler::blockControlSignals(sigset_t* previous)
{
    const sigset_t set = controlSignals();
    return pthread_sigmask(SIG_BLOCK, &set, previous) == 0;
}

bool CVNServicePlatformHandler::start()
{
    if (m_worker)
        return false;
    m_loopEnded = false;
    // Blocked before the worker exists, so that it and every later thread
    // inherit the mask and only sigwait ever takes these signals.
    if (!blockControlSignals(&m_previousMask))
        return false;
    m_maskSaved = true;
    m_worker.reset(QThread::create([this] { runWorker(); }));
    m_worker->setObjectName(QStringLiteral("ServiceControl"));
    m_worker->start();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_workerStarted.wait_for(lock, std::chrono::milliseconds(kWorkerJoinTimeoutMs), [this] { return m_workerAlive; });
    if (m_workerAlive)
        return true;
    lock.unlock();
    qCWarning(lcService) << "fail to start service control thread";
    m_worker->wait(kWorkerJoinTimeoutMs);
    m_worker.reset();
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
    m_maskSaved = false;
    return false;
}

void CVNServicePlatformHandler::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_loopEnded = true;
        if (m_pending)
            m_pending->abandon();
        if (m_workerAlive)
            pthread_kill(m_workerThread, SIGTERM);
    }
    if (m_worker && !m_worker->wait(kWorkerJoinTimeoutMs))
        qCWarning(lcService) << "service control thread did not end";
    if (state() != StopPending && state() != Stopped)
        notifySystemd("STOPPING=1");
    setState(Stopped, nullptr);
    drainControlSignals();
    if (m_maskSaved)
        pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
    m_maskSaved = false;
    m_worker.reset();
}

// Controls that arrived after the stop (systemd's SIGCONT after SIGTERM, a
// second Ctrl+C) must not hit the process once the mask is restored.
void CVNServicePlatformHandler::drainControlSignals()
{
    const sigset_t set = controlSignals();
    const timespec noWait { 0, 0 };
    for (int i = 0; i < kMaxDrainedSignals && sigtimedwait(&set, nullptr, &noWait) > 0; ++i) { }
}

CVNServicePlatformHandler::State CVNServicePlatformHandler::state() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

void CVNServicePlatformHandler::setState(State state, const char* notification)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_state = state;
    }
    if (notification)
        notifySystemd(notification);
}

bool CVNServicePlatformHandler::loopEnded() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loopEnded;
}

void CVNServicePlatformHandler::runWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_workerThread = pthread_self();
        m_workerAlive = true;
        m_workerStarted.notify_all();
    }
    runStartSequence();
    const sigset_t set = controlSignals();
    while (!loopEnded()) {
        int signalNumber = 0;
        if (sigwait(&set, &signalNumber) != 0) {
            qCWarning(lcService) << "sigwait failed";
            break;
        }
        if (loopEnded() || !dispatch(signalNumber))
            break;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_workerAlive = false;
}

void CVNServicePlatformHandler::runStartSequence()
{
    setState(StartPending, "STATUS=Starting");
    if (!request<CVNServiceServerEventStart>() || !request<CVNServiceServerEventStarted>())
        return;
    setState(Running, "READY=1\nSTATUS=Running");
}

bool CVNServicePlatformHandler::dispatch(int signalNumber)
{
    if (signalNumber == SIGTERM || signalNumber == SIGINT) {
        stopService();
        return false;
    }
    if (signalNumber == SIGTSTP)
        pauseService();
    else if (signalNumber == SIGCONT)
        resumeService();
    else if (signalNumber >= SIGRTMIN)
        userControl(kFirstUserControl + signalNumber - SIGRTMIN);
    return true;
}

void CVNServicePlatformHandler::stopService()
{
    qCDebug(lcService) << "service control: stop";
    setState(StopPending, "STOPPING=1\nSTATUS=Stopping");
    (void)request<CVNServiceServerEventStop>();
}

void CVNServicePlatformHandler::pauseService()
{
    if (state() != Running) {
        qCDebug(lcService) << "service control: pause ignored in state" << state();
        return;
    }
    setState(PausePending, nullptr);
    if (request<CVNServiceServerEventPause>())
        setState(Paused, "STATUS=Paused");
}

void CVNServicePlatformHandler::resumeService()
{
    if (state() != Paused) {
        qCDebug(lcService) << "service control: continue ignored in state" << state();
        return;
    }
    setState(ContinuePending, nullptr);
    if (request<CVNServiceServerEventResume>())
        setState(Running, "STATUS=Running");
}

void CVNServicePlatformHandler::userControl(int control)
{
    if (control < kFirstUserControl || control > kLastUserControl)
        return;
    auto completion = std::make_shared<CVNServiceEventCompletion>();
    (void)postAndWait(
        std::make_unique<CVNServiceServerEventCommand>(control - kFirstUserControl, completion), completion);
}

template <class Event> bool CVNServicePlatformHandler::request()
{
    auto completion = std::make_shared<CVNServiceEventCompletion>();
    return postAndWait(std::make_unique<Event>(completion), completion);
}

bool CVNServicePlatformHandler::postAndWait(std::unique_ptr<CVNServiceServerEvent> event,
    const std::shared_ptr<CVNServiceEventCompletion>& completion)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_loopEnded)
            return false;
        m_pending = completion;
    }
    // Everything the event carries is handed to the main thread with it.
    CVNThreadHandoff::publish(event.get());
    QCoreApplication::postEvent(m_server, event.release());
    const bool ran = completion->wait();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.reset();
    return ran;
}
