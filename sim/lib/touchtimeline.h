// A scripted loop of finger strokes that the controller reports as touch
// reports: two fingers go down, move and lift, later seven fingers touch at
// once, then the sensor is idle until the loop starts again.
#pragma once

#include <QByteArray>
#include <QList>

namespace corvanesim {

struct Contact {
    quint8 id = 0;
    quint8 flags = 0;
    quint16 x = 0;
    quint16 y = 0;
    quint16 size = 0;
};

// Flags of a finger that touches the sensor.
constexpr quint8 ContactTouching = 1;

class CVNTouchTimeline {
public:
    static constexpr qint64 LoopMs = 3000;

    // The contacts on the sensor at this time since the controller started.
    QList<Contact> contactsAt(qint64 ms) const;
    // How many fingers were put down from the start up to this time.
    int contactsBegunBy(qint64 ms) const;
    // The 161-byte touch report for the contacts at this time.
    QByteArray reportAt(qint64 ms) const;

    static QByteArray encodeReport(const QList<Contact>& contacts);
};

}  // namespace corvanesim
