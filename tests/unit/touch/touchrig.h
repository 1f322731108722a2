#pragma once

// A simulated controller in this process whose touches come only from what a
// test puts on its surface: the touch stream reads its real input reports.

#include "inprocesscontroller.h"

struct TouchRig : InProcessController
{
    TouchRig() : InProcessController(QStringLiteral("vasta:0200000001A3:2.005,timeline=off")) {}
};
