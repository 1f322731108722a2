// Fixed numbers of the simulated controllers and limits of what the
// simulator accepts from its clients.
#pragma once

#include <QtGlobal>

namespace corvanesim {

// USB identity shared by every controller.
constexpr quint16 ControllerVendorId = 0x3C2E;

// HID reports of the controller.
constexpr quint8 CommandReportId = 21;
constexpr int CommandReportSize = 73;
constexpr int CommandWordSize = 8;
constexpr int CommandValueSize = 64;
constexpr quint8 TouchReportId = 13;
constexpr int TouchReportSize = 161;
constexpr int TouchRecordSize = 8;
constexpr int TouchRecordCount = 20;

// Untrusted input from socket clients and the command line.
constexpr qint64 MaxLineLength = 1024 * 1024;
constexpr int MaxTransferLength = 4096;
constexpr int MaxFaultCount = 1000000;
constexpr int SerialLength = 12;
constexpr int MaxPresetCount = 256;

}  // namespace corvanesim
