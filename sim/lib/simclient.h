// The command-line side of control requests: sends one request to a running
// simulator and collects its answer.
#pragma once

#include <QStringList>

namespace corvanesim {

struct ClientAnswer {
    bool ok = false;  // the simulator answered ok (or, for list, end)
    QStringList lines;  // the answer lines, or one line naming a local failure
};

// Bounded by timeoutMs for connecting and for the answer.
ClientAnswer sendControlRequest(const QString& socketPath, const QString& request, int timeoutMs);

}  // namespace corvanesim
