#pragma once

#include <QList>

#include <functional>
#include <memory>

class CVNTouchSerialPools;
class TouchEntity;

// Object recognition inside the tracker update: turns groups of fingers into
// object entities. One processor per touch property, chosen by its
// object-recognition or-spec (1 or 2); the recognition library
// installs the factory.
class TouchEntityProcess
{
public:
    // What a processor works on: the tracker's entities (it may append new
    // entities, which the tracker then owns, and kill consumed fingers), the
    // serial pools for the entities it makes, and the time of the poll.
    struct Context
    {
        QList<TouchEntity*>& entities;
        CVNTouchSerialPools& pools;
        qint64 nowMs;
    };
    using Factory = std::function<std::unique_ptr<TouchEntityProcess>(int orSpec)>;

    virtual ~TouchEntityProcess() = default;
    virtual void process(Context& context) = 0;
    // Removes stray fingers around locked objects (after the objects' end of poll).
    virtual void rejectPoints(Context& context) = 0;

    // The processor of an or-spec; null when none is installed or the
    // or-spec is 0.
    static std::unique_ptr<TouchEntityProcess> create(int orSpec);
    static void setFactory(Factory factory);
};
