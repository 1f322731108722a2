#include "service/serviceserverevent.h"

#include "service/serviceserver.h"

void CVNServiceEventCompletion::finish()
{
    QMutexLocker locker(&mutex);
    done = true;
    condition.wakeAll();
}

void CVNServiceEventCompletion::abandon()
{
    QMutexLocker locker(&mutex);
    abandoned = true;
    condition.wakeAll();
}

bool CVNServiceEventCompletion::wait()
{
    QMutexLocker locker(&mutex);
    while (!done && !abandoned)
        condition.wait(&mutex);
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
        QMutexLocker locker(&m_completion->mutex);
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
