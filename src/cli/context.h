#pragma once

#include <QString>

class Entity;

// Entity lookup by key for whoever runs options (a session, the client).
class CVNContext
{
public:
    virtual ~CVNContext() = default;
    virtual bool hasEntity(const QString& key) { return entity(key) != nullptr; }
    // Not owned by the caller; nullptr when there is no such entity.
    virtual Entity* entity(const QString& key) { (void)key; return nullptr; }
};
