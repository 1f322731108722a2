#include "tuio/tuio1client.h"

#include "touch/touchentity.h"

Tuio1Client::Tuio1Client(QObject* parent)
    : TuioClient(parent)
{
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(IdleIntervalMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &Tuio1Client::sendIdleFrame);
}

Tuio1Client::~Tuio1Client()
{
    m_idleTimer.stop();
    sendIdleFrame();
}

QList<QByteArray> Tuio1Client::idleBundles()
{
    return MessageTuioV1Touch(source()).bundles({}, frameCounter())
        + MessageTuioV1Object(source()).bundles({}, frameCounter());
}

void Tuio1Client::sendFrame(const QList<TouchEntity*>& entities, bool reportLocked, qint64 nowMs)
{
    m_idleTimer.stop();
    const qint32 frame = nextFrame();
    if (entities.isEmpty()) {
        sendIdleFrame();
        return;
    }
    QVector<TuioPoint> cursors;
    QVector<TuioPoint> objects;
    cursors.reserve(entities.size());
    for (const TouchEntity* entity : entities) {
        if (reportLocked && !entity->isLocked(nowMs))
            continue;
        const int kind = entity->kind();
        if (kind == TouchEntity::FingerKind || kind == TouchEntity::PenKind)
            cursors.append(pointOf(*entity));
        else if (kind != TouchEntity::NoKind)
            objects.append(pointOf(*entity));
    }
    send(MessageTuioV1Touch(source()).bundles(cursors, frame));
    send(MessageTuioV1Object(source()).bundles(objects, frame));
    m_idleTimer.start();
}
