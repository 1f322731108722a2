#pragma once

// A controller hosted in this process without an interface: the settings
// actions reach it through its HID device alone, and chosen command words
// can be answered by the test (a refusing or silent controller at an exact
// step).

#include "inprocesscontroller.h"

struct HostedController : InProcessController {
    explicit HostedController(const QString& setup) : InProcessController(setup, kNoInterface) {}
    QString value(const QString& word) const { return reg(word); }
};
