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
// Touch input report: six 10-byte contact records at 1 + 10k, the frame's
// contact count at 61 (first report only), flags at 62.
constexpr quint8 TouchInputReportId = 13;
constexpr int TouchInputReportSize = 64;
constexpr int TouchContactRecordSize = 10;
constexpr int TouchContactsPerReport = 6;
constexpr int TouchCountOffset = 61;
constexpr int TouchFlagsOffset = 62;
constexpr quint8 TouchFlagAlways = 0x01;
constexpr quint8 TouchFlagPensWaiting = 0x02;
// Pen input report: four 13-byte pen records after the id.
constexpr quint8 PenInputReportId = 14;
constexpr int PenRecordSize = 13;
constexpr int PenRecordCount = 4;
constexpr int PenInputReportSize = 1 + PenRecordCount * PenRecordSize;

// Untrusted input from socket clients and the command line.
constexpr qint64 MaxLineLength = 1024 * 1024;
constexpr int MaxTransferLength = 4096;
constexpr int MaxFaultCount = 1000000;
constexpr int SerialLength = 12;
constexpr int MaxPresetCount = 256;

}  // namespace corvanesim
