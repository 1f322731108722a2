#include "touchsurface.h"

#include <QSet>

namespace corvanesim {

void CVNTouchSurface::putFinger(quint8 id, quint16 x, quint16 y, quint16 pressure)
{
    if (!m_fingers.contains(id))
        ++m_fingersPut;
    Contact& c = m_fingers[id];
    c.id = id;
    c.flags = ContactTouching;
    c.x = x;
    c.y = y;
    c.width = c.height = 40;
    c.size = 40;
    c.pressure = pressure;
}

void CVNTouchSurface::putPen(quint8 id, quint16 x, quint16 y, quint16 pressure)
{
    Pen& p = m_pens[id];
    p.id = id;
    p.x = x;
    p.y = y;
    p.pressure = pressure;
}

bool CVNTouchSurface::lift(quint8 id)
{
    const bool finger = m_fingers.remove(id) > 0;
    const bool pen = m_pens.remove(id) > 0;
    return finger || pen;
}

void CVNTouchSurface::liftAll()
{
    m_fingers.clear();
    m_pens.clear();
    m_objects.clear();
}

bool CVNTouchSurface::putObject(const QString& name, const QVector<QPoint>& feet)
{
    PlacedObject placed = m_objects.value(name);
    if (placed.ids.size() != feet.size()) {
        QSet<int> taken;
        for (auto it = m_objects.cbegin(); it != m_objects.cend(); ++it) {
            if (it.key() != name)
                taken.unite(QSet<int>(it->ids.cbegin(), it->ids.cend()));
        }
        placed.ids.clear();
        for (int id = FirstFootId; id < 0xFF && placed.ids.size() < feet.size(); ++id) {
            if (!taken.contains(id) && !m_fingers.contains(quint8(id)))
                placed.ids.append(quint8(id));
        }
        if (placed.ids.size() < feet.size())
            return false;
        m_fingersPut += feet.size();
    }
    placed.feet = feet;
    m_objects.insert(name, placed);
    return true;
}

bool CVNTouchSurface::liftObject(const QString& name)
{
    return m_objects.remove(name) > 0;
}

QList<Contact> CVNTouchSurface::fingersAt(qint64 ms) const
{
    QMap<quint8, Contact> all = m_fingers;
    for (const PlacedObject& object : m_objects) {
        for (int i = 0; i < object.ids.size(); ++i) {
            if (all.contains(object.ids[i]))
                continue;
            Contact& c = all[object.ids[i]];
            c.id = object.ids[i];
            c.flags = ContactTouching;
            c.x = quint16(object.feet[i].x());
            c.y = quint16(object.feet[i].y());
            c.width = c.height = FootSize;
            c.size = FootSize;
            c.pressure = DefaultPressure;
        }
    }
    for (const Contact& c : m_timeline.contactsAt(ms)) {
        if (!all.contains(c.id))
            all.insert(c.id, c);
    }
    return all.values().mid(0, MaxFingers);
}

QList<Pen> CVNTouchSurface::pensAt(qint64 ms) const
{
    QMap<quint8, Pen> all = m_pens;
    for (const Pen& p : m_timeline.pensAt(ms)) {
        if (!all.contains(p.id))
            all.insert(p.id, p);
    }
    return all.values().mid(0, MaxPens);
}

int CVNTouchSurface::fingersBegunBy(qint64 ms) const
{
    return m_timeline.contactsBegunBy(ms) + m_fingersPut;
}

}  // namespace corvanesim
