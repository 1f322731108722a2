// The touch input reports of a controller, as the host reads them one by
// one: a frame of C fingers goes out as C / 6 + 1 touch reports, the pens as
// one pen report. See sim/README.md ("Touch reports") for the layout.
#pragma once

#include "touchtimeline.h"
#include "transferresult.h"

#include <QList>
#include <functional>

namespace corvanesim {

class CVNTouchReports {
public:
    // A frame: the fingers and pens on the sensor now.
    struct Frame {
        QList<Contact> fingers;
        QList<Pen> pens;
    };
    using FrameSource = std::function<Frame()>;
    // Continuation reports not read within this time belong to a frame the
    // host gave up; the next read starts a new frame.
    static constexpr qint64 StaleMs = 200;

    static QList<QByteArray> encodeTouchReports(const QList<Contact>& fingers, bool pensWaiting);
    static QByteArray encodePenReport(const QList<Pen>& pens);

    // One input report read by the host at this time (ms since start).
    TransferResult read(int reportId, int length, qint64 nowMs, const FrameSource& source);
    // A reboot forgets the frame being read.
    void reset();

private:
    QList<QByteArray> m_pending;
    qint64 m_pendingSince = 0;
    QByteArray m_penReport;
};

}  // namespace corvanesim
