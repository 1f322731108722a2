#pragma once

// The tracking parameters that object recognition's configuration sets for
// every controller alike: when an entity counts as locked, how many polls it
// survives without a matching record, and the pressure threshold. Read and
// changed on the event-loop thread only.
struct CVNTouchParameters
{
    static constexpr int DefaultTimeLockMs = 1000;
    static constexpr int DefaultKeepAlive = 3;

    int timeLockMs = DefaultTimeLockMs;
    int keepAlive = DefaultKeepAlive; // at least 1
    unsigned pressureThreshold = 0; // 0: no pressure rejection
    bool pressureRejectsLocked = false;

    static const CVNTouchParameters& current();
    static void setCurrent(const CVNTouchParameters& parameters);
};
