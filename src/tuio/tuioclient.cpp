#include "tuio/tuioclient.h"

#include "touch/touchentity.h"

#include <QDateTime>

TuioClient::TuioClient(QObject* parent)
    : QObject(parent)
    , m_createdAt(QDateTime::currentMSecsSinceEpoch())
{
}

TuioClient::~TuioClient() = default;

void TuioClient::addReceiver(const QHostAddress& address, quint16 port)
{
    QList<quint16>& ports = m_receivers[address];
    if (!ports.contains(port))
        ports.append(port);
}

void TuioClient::removeReceiver(const QHostAddress& address, quint16 port)
{
    auto it = m_receivers.find(address);
    if (it == m_receivers.end() || !it->contains(port))
        return;
    sendIdleFrameTo(address, port);
    it->removeAll(port);
    if (it->isEmpty())
        m_receivers.erase(it);
}

QPointF TuioClient::normalise(const QPoint& position, const QSize& sensorSize, int orientation)
{
    // An unknown sensor size must not divide by zero.
    const qreal u = position.x() / static_cast<qreal>(qMax(1, sensorSize.width()));
    const qreal v = position.y() / static_cast<qreal>(qMax(1, sensorSize.height()));
    switch (orientation) {
    case 1:
        return QPointF(1.0 - v, u);
    case 2:
        return QPointF(1.0 - u, 1.0 - v);
    case 3:
        return QPointF(v, 1.0 - u);
    default:
        return QPointF(u, v);
    }
}

TuioPoint TuioClient::pointOf(const TouchEntity& entity) const
{
    TuioPoint point;
    point.sessionId = entity.identifier();
    point.classId = entity.identifier() / 1000;
    switch (entity.kind()) {
    case TouchEntity::PenKind:
        point.typeUserId = 11;
        break;
    case TouchEntity::FingerKind:
        point.typeUserId = 1;
        break;
    default:
        point.typeUserId = point.classId;
        break;
    }
    const QPointF position = normalise(entity.publishedPosition(), m_sensorSize, m_orientation);
    point.x = static_cast<float>(position.x());
    point.y = static_cast<float>(position.y());
    point.angle = entity.calibratedRotation();
    const TouchEntityProperties& sample = entity.latest();
    point.radius = static_cast<float>(sample.radius) / static_cast<float>(qMax(1, m_sensorSize.height()));
    point.pressure = static_cast<float>(sample.pressure) / 1024.0f;
    return point;
}

void TuioClient::sendIdleFrameTo(const QHostAddress& address, quint16 port)
{
    for (const QByteArray& datagram : idleBundles())
        (void)m_socket.writeDatagram(datagram, address, port);
}

void TuioClient::sendIdleFrame()
{
    send(idleBundles());
}

void TuioClient::send(const QList<QByteArray>& datagrams)
{
    for (auto it = m_receivers.constBegin(); it != m_receivers.constEnd(); ++it) {
        for (const quint16 port : it.value()) {
            for (const QByteArray& datagram : datagrams)
                (void)m_socket.writeDatagram(datagram, it.key(), port);
        }
    }
}
