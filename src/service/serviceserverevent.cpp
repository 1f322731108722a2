#include "service/serviceserverevent.h"

#include "service/serviceserver.h"

void CVNServiceEventCompletion::finish()
{
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    condition.notify_all();
}

void CVNServiceEventCompletion::abandon()
{
    std::lock_guard<std::mutex> lock(mutex);
    abandoned = true;
    condition.notify_all();
}

bool CVNServiceEventCompletion::wait()
{
    std::unique_lock<std::mutex> lock(mutex);
    condition.wait(lock, [this] { return done || abandoned; });
    return done;
}

CVNServiceServerEvent::CVNServiceServerEvent(std::shared_ptr<CVNServiceEventCompletion> completion)
    : QEvent(kType)
    , m_completion(std::move(completion))
{
}

// An event dropped unexecuted (its receiver destroyed) must not leave its
// control thread waiting.
CVNServiceServerEvent::~CVNServiceServerEvent()
{
    if (m_completion)
        m_completion->abandon();
}

void CVNServiceServerEvent::execute(CVNServiceServer* server)
{
    if (!m_completion)
        return;
    bool abandoned = false;
    {
        std::lock_guard<std::mutex> lock(m_completion->mutex);
        abandoned = m_completion->abandoned;
    }
    // Nobody waits any more: the service has moved on without this control.
    if (!abandoned)
        run(server);
    m_completion->finish();
    m_completion.reset();
}

CVNServiceServerEventCommand::CVNServiceServerEventCommand(
    int command, std::shared_ptr<CVNServiceEventCompletion> completion)
    : CVNServiceServerEvent(std::move(completion))
    , m_command(command)
{
}

void CVNServiceServerEventCommand::run(CVNServiceServer* server)
{
    server->runCommand(m_command);
}

void CVNServiceServerEventStop::run(CVNServiceServer* server)
{
    server->runStop();
}

void CVNServiceServerEventStarted::run(CVNServiceServer* server)
{
    server->notifyStarted();
}

template <void (CVNServiceAppDelegate::*Operation)()>
void CVNServiceServerEventCall<Operation>::run(CVNServiceServer* server)
{
    server->runDelegate(Operation);
}

template class CVNServiceServerEventCall<&CVNServiceAppDelegate::start>;
template class CVNServiceServerEventCall<&CVNServiceAppDelegate::pause>;
template class CVNServiceServerEventCall<&CVNServiceAppDelegate::resume>;
