#include "touchreports.h"

#include "hidcontroller.h"
#include "simlimits.h"

namespace corvanesim {

namespace {

void putLe16(QByteArray* bytes, int offset, quint16 value)
{
    (*bytes)[offset] = char(value & 0xFF);
    (*bytes)[offset + 1] = char(value >> 8);
}

QByteArray emptyTouchReport()
{
    QByteArray report(TouchInputReportSize, '\0');
    report[0] = char(TouchInputReportId);
    // Unused slots carry the empty-slot id, so that nothing is read as a finger.
    for (int k = 0; k < TouchContactsPerReport; ++k)
        report[1 + k * TouchContactRecordSize + 1] = char(0xFF);
    report[TouchFlagsOffset] = char(TouchFlagAlways);
    return report;
}

}  // namespace

QList<QByteArray> CVNTouchReports::encodeTouchReports(const QList<Contact>& fingers, bool pensWaiting)
{
    const int count = qMin(fingers.size(), 255);
    const int reports = count / TouchContactsPerReport + 1;
    QList<QByteArray> out;
    for (int r = 0; r < reports; ++r) {
        QByteArray report = emptyTouchReport();
        for (int k = 0; k < TouchContactsPerReport; ++k) {
            const int i = r * TouchContactsPerReport + k;
            if (i >= count)
                break;
            const Contact& c = fingers[i];
            const int at = 1 + k * TouchContactRecordSize;
            report[at] = char(c.flags);
            report[at + 1] = char(c.id);
            putLe16(&report, at + 2, c.x);
            putLe16(&report, at + 4, c.y);
            report[at + 6] = char(c.width);
            report[at + 7] = char(c.height);
            putLe16(&report, at + 8, c.pressure);
        }
        if (r == 0) {
            report[TouchCountOffset] = char(count);
            if (pensWaiting)
                report[TouchFlagsOffset] = char(TouchFlagAlways | TouchFlagPensWaiting);
        }
        out.append(report);
    }
    return out;
}

QByteArray CVNTouchReports::encodePenReport(const QList<Pen>& pens)
{
    QByteArray report(PenInputReportSize, '\0');
    report[0] = char(PenInputReportId);
    for (int k = 0; k < PenRecordCount && k < pens.size(); ++k) {
        const Pen& p = pens[k];
        const int at = 1 + k * PenRecordSize;
        report[at] = char(p.id);
        report[at + 1] = char(p.state);
        putLe16(&report, at + 2, p.x);
        putLe16(&report, at + 4, p.y);
        putLe16(&report, at + 6, p.pressure);
        report[at + 8] = char(p.tiltX);
        report[at + 9] = char(p.tiltY);
        putLe16(&report, at + 10, p.rotation);
        report[at + 12] = char(p.color);
    }
    return report;
}

TransferResult CVNTouchReports::read(int reportId, int length, qint64 nowMs, const FrameSource& source)
{
    if (reportId == PenInputReportId) {
        if (m_penReport.isEmpty())
            m_penReport = encodePenReport(source().pens);
        return TransferResult::ok(fitReport(m_penReport, length));
    }
    if (reportId != TouchInputReportId)
        return TransferResult::fail();
    if (!m_pending.isEmpty() && nowMs - m_pendingSince <= StaleMs) {
        m_pendingSince = nowMs;
        return TransferResult::ok(fitReport(m_pending.takeFirst(), length));
    }
    const Frame frame = source();
    m_pending = encodeTouchReports(frame.fingers, !frame.pens.isEmpty());
    m_pendingSince = nowMs;
    m_penReport = encodePenReport(frame.pens);
    return TransferResult::ok(fitReport(m_pending.takeFirst(), length));
}

void CVNTouchReports::reset()
{
    m_pending.clear();
    m_penReport.clear();
}

}  // namespace corvanesim
