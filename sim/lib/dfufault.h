// The `dfufault` request: faults of a controller's DFU function on demand.
#pragma once

#include <QString>
#include <QStringList>

namespace corvanesim {

class CVNDfuFunction;

// FAULT [ARG] after the serial:
//   refuse BLOCK   programming block number BLOCK fails, once (errWRITE, dfuERROR)
//   vanish BLOCK   the controller leaves the bus while block BLOCK arrives
//   state NAME     the device is in state NAME now (idle, dnload-idle, error, appidle, ...)
//   stuck NAME     once in state NAME, no request moves the device on
//   clear          no DFU faults
[[nodiscard]] bool applyDfuFault(CVNDfuFunction& dfu, const QStringList& words, QString* error);

QString dfuFaultUsage();

}  // namespace corvanesim
