// A scripted loop of finger and pen strokes that the controller reports as
// touches. The built-in script: two fingers go down, move and lift, later
// seven fingers touch at once, then a pen draws a line; the loop starts
// again after 3 s. A script can also be read from text (see sim/README.md,
// "Touch timeline").
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace corvanesim {

// One finger on the sensor as the controller sees it.
struct Contact {
    quint8 id = 0;
    quint8 flags = 0;
    quint16 x = 0;
    quint16 y = 0;
    quint16 size = 0;  // contact width, also what the foil model spreads
    quint8 width = 0;
    quint8 height = 0;
    quint16 pressure = 0;
};

// Flags of a finger that touches the sensor.
constexpr quint8 ContactTouching = 1;

// One pen in range of the sensor.
struct Pen {
    quint8 id = 0;
    quint8 state = 0;  // PenBarrel, PenEraser
    quint16 x = 0;
    quint16 y = 0;
    quint16 pressure = 0;
    qint8 tiltX = 0;
    qint8 tiltY = 0;
    quint16 rotation = 0;
    quint8 color = 0;
};

constexpr quint8 PenBarrel = 0x02;
constexpr quint8 PenEraser = 0x08;

class CVNTouchTimeline {
public:
    static constexpr qint64 LoopMs = 3000;
    // Script limits: text size, strokes, and the length of a loop.
    static constexpr int MaxScriptBytes = 1024 * 1024;
    static constexpr int MaxStrokes = 4096;
    static constexpr qint64 MaxLoopMs = 24LL * 3600 * 1000;

    // The built-in script.
    CVNTouchTimeline();

    // A script from text; false (and the line at fault) when it does not parse.
    [[nodiscard]] static bool parse(const QByteArray& text, CVNTouchTimeline* timeline, QString* error);
    // A script with no strokes: the sensor stays quiet.
    static CVNTouchTimeline quiet();

    qint64 loopMs() const { return m_loopMs; }

    // The fingers on the sensor at this time since the controller started.
    QList<Contact> contactsAt(qint64 ms) const;
    // The pens in range at this time.
    QList<Pen> pensAt(qint64 ms) const;
    // How many fingers were put down from the start up to this time.
    int contactsBegunBy(qint64 ms) const;

private:
    struct Stroke {
        bool pen = false;
        quint8 id = 0;
        qint64 downMs = 0;  // within the loop
        qint64 upMs = 0;
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // straight move from down to up
        Contact finger;  // width, height, pressure, flags of a finger
        Pen tool;        // attributes of a pen
    };
    // Where in the script this time falls (a script that plays once runs on
    // past its last stroke).
    qint64 scriptTime(qint64 ms) const;
    static bool parseLine(const QStringList& words, Stroke* stroke, QString* error);

    qint64 m_loopMs = LoopMs;
    QList<Stroke> m_strokes;
};

}  // namespace corvanesim
