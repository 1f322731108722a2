#pragma once

#include "service/serviceappdelegate.h"

#include <QEvent>

#include <condition_variable>
#include <memory>
#include <mutex>

class CVNServiceServer;

// Where a control thread waits until the main thread has run its event.
// `abandoned` releases the waiter when the event loop has ended and the
// event will never run.
struct CVNServiceEventCompletion {
    std::mutex mutex;
    std::condition_variable condition;
    bool done = false;
    bool abandoned = false;

    void finish();
    void abandon();
    // Blocks until finish() or abandon(); true when the event ran.
    bool wait();
};

// A control request turned into an event for the main thread. The service
// server's customEvent() runs execute(), which wakes the waiting thread.
class CVNServiceServerEvent : public QEvent
{
public:
    static constexpr QEvent::Type kType = QEvent::Type(1000);

    explicit CVNServiceServerEvent(std::shared_ptr<CVNServiceEventCompletion> completion);
    ~CVNServiceServerEvent() override;

    void execute(CVNServiceServer* server);

protected:
    virtual void run(CVNServiceServer* server) = 0;

private:
    std::shared_ptr<CVNServiceEventCompletion> m_completion;
};

// A user-defined control: the delegate's processCommand with its number.
class CVNServiceServerEventCommand : public CVNServiceServerEvent
{
public:
    CVNServiceServerEventCommand(int command, std::shared_ptr<CVNServiceEventCompletion> completion);
    int command() const { return m_command; }

protected:
    void run(CVNServiceServer* server) override;

private:
    int m_command;
};

// Stop: the delegate's stop, the observers told, then the event loop quits.
class CVNServiceServerEventStop : public CVNServiceServerEvent
{
public:
    using CVNServiceServerEvent::CVNServiceServerEvent;

protected:
    void run(CVNServiceServer* server) override;
};

// The observers told that the service runs (after the delegate's start).
class CVNServiceServerEventStarted : public CVNServiceServerEvent
{
public:
    using CVNServiceServerEvent::CVNServiceServerEvent;

protected:
    void run(CVNServiceServer* server) override;
};

// Start, pause and resume: one delegate operation each.
template <void (CVNServiceAppDelegate::*Operation)()>
class CVNServiceServerEventCall : public CVNServiceServerEvent
{
public:
    using CVNServiceServerEvent::CVNServiceServerEvent;

protected:
    void run(CVNServiceServer* server) override;
};

using CVNServiceServerEventStart = CVNServiceServerEventCall<&CVNServiceAppDelegate::start>;
using CVNServiceServerEventPause = CVNServiceServerEventCall<&CVNServiceAppDelegate::pause>;
using CVNServiceServerEventResume = CVNServiceServerEventCall<&CVNServiceAppDelegate::resume>;
