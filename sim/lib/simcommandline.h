// The command line of corvane-sim: either run the simulator or send one
// control request to a running one.
#pragma once

#include "controllersetup.h"

#include <QList>
#include <QStringList>

namespace corvanesim {

struct SimCommandLine {
    QString socketPath;
    QList<ControllerSetup> devices;  // --device, plugged at start
    QString trafficPath;
    QString request;  // the control request line; empty: run the simulator
    bool usbGadget = false;  // --usb-gadget: the controllers go on the kernel's USB bus
    bool help = false;
};

// Parses the arguments after the program name.
[[nodiscard]] bool parseCommandLine(const QStringList& args, SimCommandLine* commandLine, QString* error);

QString usageText();

}  // namespace corvanesim
