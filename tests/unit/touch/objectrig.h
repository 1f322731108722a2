#pragma once

// What the recognition tests share: a tracker with the recognition of a
// or-spec (the service's search or the plain enumeration), contacts
// made of points, and the process-wide parameters put back after a test.

#include "touch/objectparameters.h"
#include "touch/touchparameters.h"
#include "touch/touchtracker.h"

#include "straightrecognition.h"
#include "tangibleobject.h"

#include <gtest/gtest.h>

using corvanesim::CVNTangibleObject;

inline void recognise(CVNTouchTracker& tracker, int orSpec, bool plainEnumeration = false)
{
    tracker.setOrSpec(orSpec);
    if (orSpec == 1)
        tracker.setProcessor(plainEnumeration ? std::make_unique<StraightRecognition<TouchEntityProcessV1>>()
                                              : std::make_unique<TouchEntityProcessV1>());
    else
        tracker.setProcessor(plainEnumeration ? std::make_unique<StraightRecognition<TouchEntityProcessV2>>()
                                              : std::make_unique<TouchEntityProcessV2>());
}

inline CVNRawContact contactAt(int id, const QPoint& p, int pressure = 500)
{
    CVNRawContact c;
    c.id = quint8(id);
    c.x = quint16(qBound(0, p.x(), 0xFFFF));
    c.y = quint16(qBound(0, p.y(), 0xFFFF));
    c.pressure = quint16(pressure);
    return c;
}

struct ParametersReset {
    ~ParametersReset()
    {
        CVNObjectParameters::setCurrent(CVNObjectParameters());
        CVNTouchParameters::setCurrent(CVNTouchParameters());
    }
};
