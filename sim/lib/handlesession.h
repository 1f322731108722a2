// The requests of a handle connection: transfers on one open interface.
#pragma once

#include <QString>

namespace corvanesim {

class CVNVirtualController;

struct HandleAnswer {
    QString line;
    bool vanished = false;  // the controller left the bus during the transfer
    bool silent = false;    // the controller does not answer: no line is sent
};

// Performs one request line (setfeature, getfeature, getinput, bulkwrite,
// bulkread, control) on the controller's interface of that kind (hid, bulk)
// and gives the answer line.
HandleAnswer performHandleRequest(CVNVirtualController* controller, const QString& kind, const QString& line);

}  // namespace corvanesim
