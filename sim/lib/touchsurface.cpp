#include "touchsurface.h"

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
}

QList<Contact> CVNTouchSurface::fingersAt(qint64 ms) const
{
    QMap<quint8, Contact> all = m_fingers;
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
