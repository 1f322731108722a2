// What the USB device does with one control request: answer from its
// descriptors, acknowledge, stall, take the configuration, or hand the
// transfer to the controller as a request of the handle protocol
// (getfeature, setfeature, getinput, control), so that every transfer the
// controller serves on the simulator's socket is served on USB too.
#pragma once

#include "gadgetlayout.h"
#include "rawgadget.h"

#include <QByteArray>
#include <QString>

namespace corvanesim {

struct GadgetReply {
    enum class Action {
        Answer,  // send `data` (cut to wLength)
        Acknowledge,  // take the data stage, if any, and acknowledge
        Stall,
        Configure,  // SET_CONFIGURATION 1: enable the endpoints, then acknowledge
        Forward,  // to the controller's interface `kind` as `line`
    };
    Action action = Action::Stall;
    QByteArray data;
    QString kind;
    // The handle request; when `takesData` is set the host's data, in hex,
    // completes it.
    QString line;
    bool takesData = false;
};

GadgetReply routeControlRequest(const CVNGadgetLayout& layout, const SetupPacket& setup, bool configured);

}  // namespace corvanesim
