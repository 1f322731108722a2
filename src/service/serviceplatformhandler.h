#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <signal.h>

class QThread;
class CVNServiceServer;
class CVNServiceServerEvent;
struct CVNServiceEventCompletion;

// The control side of the service on Linux. systemd (or anyone allowed to)
// controls the service with signals, taken by one worker thread with sigwait:
//   SIGTERM, SIGINT     stop
//   SIGTSTP             pause
//   SIGCONT             continue (ignored unless paused: systemd sends it
//                       together with every SIGTERM)
//   SIGRTMIN+k          user control 128+k, the delegate's processCommand(k)
// The worker turns each into an event for the main thread and waits until
// it ran. Readiness and stopping are reported with sd_notify when systemd
// started the process (NOTIFY_SOCKET set).
class CVNServicePlatformHandler
{
public:
    // Service states, numbered as the service manager numbers them.
    enum State : int {
        Stopped = 1,
        StartPending = 2,
        StopPending = 3,
        Running = 4,
        ContinuePending = 5,
        PausePending = 6,
        Paused = 7,
    };
    static constexpr int kFirstUserControl = 128;
    static constexpr int kLastUserControl = 255;
    // How long the end of the event loop waits for the worker thread.
    static constexpr unsigned long kWorkerJoinTimeoutMs = 5000;

    explicit CVNServicePlatformHandler(CVNServiceServer* server);
    ~CVNServicePlatformHandler();
    CVNServicePlatformHandler(const CVNServicePlatformHandler&) = delete;
    CVNServicePlatformHandler& operator=(const CVNServicePlatformHandler&) = delete;

    // The single handler of the process, or null.
    static CVNServicePlatformHandler* instance();

    // Blocks the control signals and starts the worker, which runs the start
    // sequence as soon as the event loop runs. False when that failed.
    [[nodiscard]] bool start();
    // Called when the event loop has ended: releases and ends the worker,
    // reports the stopped state and restores the signal mask.
    void stop();

    State state() const;

    static sigset_t controlSignals();
    // Blocks the control signals in the calling thread; the previous mask
    // goes to `previous` when given.
    [[nodiscard]] static bool blockControlSignals(sigset_t* previous);

private:
    void runWorker();
    void runStartSequence();
    bool dispatch(int signalNumber);
    void stopService();
    void pauseService();
    void resumeService();
    void userControl(int control);
    // Posts the event and waits until the main thread ran it; false when
    // the event loop has ended first.
    bool postAndWait(std::unique_ptr<CVNServiceServerEvent> event,
        const std::shared_ptr<CVNServiceEventCompletion>& completion);
    template <class Event> bool request();
    void setState(State state, const char* notification);
    bool loopEnded() const;
    void wakeWorker();
    void drainControlSignals();

    CVNServiceServer* m_server;
    // Standard primitives, not Qt's: ThreadSanitizer sees what they order.
    mutable std::mutex m_mutex;
    State m_state = Stopped;
    std::unique_ptr<QThread> m_worker;
    pthread_t m_workerThread {};
    bool m_workerAlive = false; // may be signalled with pthread_kill
    std::condition_variable m_workerStarted;
    bool m_loopEnded = false;
    std::shared_ptr<CVNServiceEventCompletion> m_pending;
    sigset_t m_previousMask {};
    bool m_maskSaved = false;
};
