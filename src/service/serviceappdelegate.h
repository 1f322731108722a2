#pragma once

// What the service host asks of the application. Every operation runs on the
// main thread, inside the event loop, while the requesting control thread waits.
class CVNServiceAppDelegate
{
public:
    virtual ~CVNServiceAppDelegate() = default;

    virtual void start() = 0;
    virtual void stop() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // A user-defined control: the control number minus 128.
    virtual void processCommand(int command) = 0;
};
