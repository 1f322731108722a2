#include "interface/requestorigin.h"

namespace
{
// Requests are handled on the thread of the event loop that reads them.
thread_local QPointer<QObject> t_current;
} // namespace

namespace CVNRequestOrigin
{

QObject* current()
{
    return t_current.data();
}

Scope::Scope(QObject* origin)
    : m_previous(t_current)
{
    t_current = origin;
}

Scope::~Scope()
{
    t_current = m_previous;
}

} // namespace CVNRequestOrigin
