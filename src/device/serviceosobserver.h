#pragma once

// Told by the service host when the service starts and stops.
class CVNServiceOSObserver
{
public:
    virtual ~CVNServiceOSObserver() = default;
    virtual void serviceStarted() = 0;
    virtual void serviceStopped() = 0;
};
