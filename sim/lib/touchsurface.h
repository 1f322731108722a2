// What lies on a controller's sensor: the fingers and pens of its scripted
// timeline and those that clients put there with the `touch` and `pen`
// verbs, and the feet of the tangible objects of the `object` verb. A
// finger or pen put there by a client takes the place of the timeline's one
// (or an object's foot) with the same id until it is lifted.
#pragma once

#include "touchtimeline.h"

#include <QMap>
#include <QPoint>
#include <QString>
#include <QVector>

namespace corvanesim {

class CVNTouchSurface {
public:
    static constexpr quint16 DefaultPressure = 500;
    // The count byte of a touch report bounds the fingers of one frame.
    static constexpr int MaxFingers = 255;
    // The pen report holds four pen records.
    static constexpr int MaxPens = 4;

    void setTimeline(const CVNTouchTimeline& timeline) { m_timeline = timeline; }
    const CVNTouchTimeline& timeline() const { return m_timeline; }

    void putFinger(quint8 id, quint16 x, quint16 y, quint16 pressure);
    void putPen(quint8 id, quint16 x, quint16 y, quint16 pressure);
    // Lifts the finger and the pen with this id; false when neither was there.
    bool lift(quint8 id);
    void liftAll();

    // The feet of an object named NAME, put there or moved there; each foot
    // a finger with a contact id of its own (the free ids from FirstFootId
    // up, kept while the object stays). False when no ids are left.
    static constexpr quint8 FirstFootId = 128;
    static constexpr quint8 FootSize = 20;
    bool putObject(const QString& name, const QVector<QPoint>& feet);
    // False when nothing is placed under NAME.
    bool liftObject(const QString& name);

    // At this time since the controller started: fingers in id order
    // (at most MaxFingers), pens in id order (at most MaxPens).
    QList<Contact> fingersAt(qint64 ms) const;
    QList<Pen> pensAt(qint64 ms) const;
    // Fingers put down since the start, scripted and placed by clients.
    int fingersBegunBy(qint64 ms) const;

private:
    CVNTouchTimeline m_timeline;
    QMap<quint8, Contact> m_fingers;
    QMap<quint8, Pen> m_pens;
    struct PlacedObject {
        QVector<quint8> ids;
        QVector<QPoint> feet;
    };
    QMap<QString, PlacedObject> m_objects;
    int m_fingersPut = 0;
};

}  // namespace corvanesim
