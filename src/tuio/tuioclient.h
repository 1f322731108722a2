#pragma once

#include "tuio/messagetuio.h"

#include <QHostAddress>
#include <QPointF>
#include <QList>
#include <QHash>
#include <QObject>
#include <QSize>
#include <QTimer>
#include <QUdpSocket>

class TouchEntity;

// What a TUIO stream sends to: receivers (address and ports), the source
// name, the sensor size and orientation for normalising positions, and a
// frame counter that only grows.
class TuioClient : public QObject
{
    Q_OBJECT
public:
    explicit TuioClient(QObject* parent = nullptr);
    ~TuioClient() override;

    void addReceiver(const QHostAddress& address, quint16 port);
    // Sends the idle frame to that receiver alone, then forgets it.
    void removeReceiver(const QHostAddress& address, quint16 port);
    bool hasReceivers() const { return !m_receivers.isEmpty(); }
    const QHash<QHostAddress, QList<quint16>>& receivers() const { return m_receivers; }

    void setSource(const QString& source) { m_source = source; }
    QString source() const { return m_source; }
    void setOrientation(int orientation) { m_orientation = qBound(0, orientation, 3); }
    int orientation() const { return m_orientation; }
    void setSensorSize(const QSize& size) { m_sensorSize = size; }
    QSize sensorSize() const { return m_sensorSize; }
    qint32 frameCounter() const { return m_frameCounter; }
    qint64 createdAt() const { return m_createdAt; }

    // One frame of the entities (only locked ones when reportLocked is set).
    virtual void sendFrame(const QList<TouchEntity*>& entities, bool reportLocked, qint64 nowMs) = 0;

    // Position normalisation: (x / W, y / H), turned by the orientation 0..3.
    static QPointF normalise(const QPoint& position, const QSize& sensorSize, int orientation);
    // The entity as TUIO sends it.
    TuioPoint pointOf(const TouchEntity& entity) const;

protected:
    // The idle frame's datagrams, for one receiver or for all.
    virtual QList<QByteArray> idleBundles() = 0;
    void sendIdleFrameTo(const QHostAddress& address, quint16 port);
    void sendIdleFrame();
    // Every datagram to every receiver; write failures are ignored.
    void send(const QList<QByteArray>& datagrams);
    qint32 nextFrame() { return ++m_frameCounter; }

    QTimer m_idleTimer;

private:
    qint32 m_frameCounter = 0;
    qint64 m_createdAt;
    QString m_source;
    int m_orientation = 0;
    QHash<QHostAddress, QList<quint16>> m_receivers;
    QUdpSocket m_socket;
    QSize m_sensorSize;
};
