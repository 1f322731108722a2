#pragma once

#include <QByteArray>

class CVNDeviceHid;

// The touch input reports of a controller, read as one block for the touch
// stream.
//
// A touch report (input report 13, 64 bytes) holds up to six contact
// records of 10 bytes at 1 + 10k. Byte 61 of the first report of a frame is
// the contact count C of the whole frame; the controller sends C / 6 + 1
// reports for it (so six contacts take two, the second empty). Byte 62 of
// the first report carries flags: bit 0 is always set, bit 1 says that the
// pen report (input report 14, 53 bytes: four pen records of 13 bytes after
// the id) waits as well.
//
// The block handed on is the touch reports one after the other; when the
// pen report was read it is the 500-byte pen block instead: seven touch
// reports (missing ones zero) followed by the four pen records at 448.
class CVNHidTouchReports
{
public:
    static constexpr quint8 ReportId = 13;
    static constexpr int ReportSize = 64;
    static constexpr int CountOffset = 61;
    static constexpr int FlagsOffset = 62;
    static constexpr quint8 PensWaiting = 0x02;
    static constexpr int ContactsPerReport = 6;
    // The count is one byte: 255 / 6 + 1 reports at most.
    static constexpr int MaxReports = 255 / ContactsPerReport + 1;
    static constexpr quint8 PenReportId = 14;
    static constexpr int PenRecordsSize = 4 * 13;
    static constexpr int PenReportSize = 1 + PenRecordsSize;
    static constexpr int PenBlockReports = 7;
    static constexpr int PenRecordsOffset = PenBlockReports * ReportSize;
    static constexpr int PenBlockSize = PenRecordsOffset + PenRecordsSize;

    static int reportCount(quint8 contactCount) { return contactCount / ContactsPerReport + 1; }

    // Reads one frame's reports; false when a read failed or the first
    // report is not a touch report (block then undefined).
    [[nodiscard]] static bool read(CVNDeviceHid& device, QByteArray* block);

    // Turns what was read into the block (exposed for tests): the touch
    // reports, and the pen report or an empty array.
    static QByteArray assemble(const QByteArray& touchReports, const QByteArray& penReport);
};
