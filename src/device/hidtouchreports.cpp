#include "device/hidtouchreports.h"

#include "device/devicehid.h"

namespace
{

QByteArray inputBuffer(quint8 id, int size)
{
    QByteArray report(size, '\0');
    report[0] = static_cast<char>(id);
    return report;
}

} // namespace

bool CVNHidTouchReports::read(CVNDeviceHid& device, QByteArray* block)
{
    return device.readInputReports([block](const auto& readReport) {
        QByteArray first = inputBuffer(ReportId, ReportSize);
        if (!readReport(first) || static_cast<quint8>(first.at(0)) != ReportId)
            return false;
        const int reports = reportCount(static_cast<quint8>(first.at(CountOffset)));
        QByteArray touches = first;
        touches.reserve(reports * ReportSize);
        for (int i = 1; i < reports; ++i) {
            QByteArray next = inputBuffer(ReportId, ReportSize);
            if (!readReport(next))
                return false;
            touches.append(next);
        }
        QByteArray pens;
        // More reports than the pen block holds leave no room for it; the
        // controller then keeps its pens for a later frame.
        if ((static_cast<quint8>(first.at(FlagsOffset)) & PensWaiting) && reports <= PenBlockReports) {
            pens = inputBuffer(PenReportId, PenReportSize);
            if (!readReport(pens))
                return false;
        }
        *block = assemble(touches, pens);
        return true;
    });
}

QByteArray CVNHidTouchReports::assemble(const QByteArray& touchReports, const QByteArray& penReport)
{
    if (penReport.size() != PenReportSize || touchReports.size() > PenRecordsOffset)
        return touchReports;
    QByteArray block = touchReports;
    block.append(QByteArray(PenRecordsOffset - block.size(), '\0'));
    block.append(penReport.mid(1));
    return block;
}
