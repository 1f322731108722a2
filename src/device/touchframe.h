#pragma once

#include <QByteArray>

// The controller's touch report (report id 13, 20 contact records of 8 bytes)
// and the 256-byte touch frame that the touch stream consumes: four 64-byte
// reports of up to six contacts each.
class CVNTouchFrame
{
public:
    static constexpr quint8 ReportId = 13;
    static constexpr int TouchReportSize = 161;
    static constexpr int RecordSize = 8;
    static constexpr int MaxRecords = 20;
    static constexpr int FrameSize = 256;
    static constexpr int FrameReportSize = 64;
    static constexpr int ContactsPerReport = 6;
    static constexpr int SlotSize = 10;
    static constexpr int CountOffset = 61;
    static constexpr int TrailerOffset = 62;

    // A touch report ready for get-feature: id 13, the rest zero.
    static QByteArray reportBuffer();
    // The frame of a touch report; a short report counts as zero-filled.
    static QByteArray fromTouchReport(const QByteArray& report);
};
