#pragma once

// A property that passes a controller's touches on to somewhere else (the
// TUIO output). The tuning sequence holds that output while it tests the
// sensor, so that receivers see no test touches, and lets it go at its end.
class CVNTouchOutput
{
public:
    virtual ~CVNTouchOutput() = default;
    // While held, nothing is sent and the touch stream is not kept polling
    // for it; receivers added meanwhile wait for the release.
    virtual void holdOutput(bool hold) = 0;
    virtual bool isOutputHeld() const = 0;
};
