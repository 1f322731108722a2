#pragma once

// A simulated controller in this process with an interface built from the
// shipped description: what the service sends and what the controller keeps
// are both in view.

#include "inprocesscontroller.h"

#include <gtest/gtest.h>

struct CalibrationRig : ::testing::Test, InProcessController {
    void start(const QString& setup = QStringLiteral("vasta:0200000001A3:2.005"),
               const QString& description = QStringLiteral("2-2_005-hid"))
    {
        InProcessController::start(setup, description);
        ASSERT_TRUE(iface);
    }
};
