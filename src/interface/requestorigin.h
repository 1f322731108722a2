#pragma once

#include <QObject>
#include <QPointer>

// Who the work being done now was asked for by: the client session whose
// request is being handled, or nobody (timers, the service itself). An
// entity that keeps working for a client after the request (the tuning
// sequence) notes its origin and learns from its destroyed() signal when
// that client has gone.
namespace CVNRequestOrigin
{

// The origin of the request being handled on this thread; null outside one.
QObject* current();

// Makes `origin` the current one for its lifetime; nests.
class Scope
{
public:
    explicit Scope(QObject* origin);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    QPointer<QObject> m_previous;
};

} // namespace CVNRequestOrigin
