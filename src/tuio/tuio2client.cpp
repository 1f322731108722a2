#include "tuio/tuio2client.h"

#include "touch/touchentity.h"

#include <QDateTime>

Tuio2Client::Tuio2Client(QObject* parent)
    : TuioClient(parent)
{
    setSource(QString::number(createdAt()));
}

Tuio2Client::~Tuio2Client()
{
    sendIdleFrame();
}

quint64 Tuio2Client::timeTag(qint64 msSinceEpoch)
{
    const quint64 seconds = static_cast<quint64>(msSinceEpoch / 1000);
    const quint64 fraction = static_cast<quint64>(static_cast<double>(msSinceEpoch % 1000) * 1000.0 * 4294.967295);
    return (seconds << 32) | (fraction & 0xFFFFFFFFu);
}

qint32 Tuio2Client::dimension(const QSize& sensorSize)
{
    return static_cast<qint32>((static_cast<quint32>(sensorSize.width()) << 16)
                               | (static_cast<quint32>(sensorSize.height()) & 0xFFFFu));
}

MessageTuioV2::Frame Tuio2Client::frameHeader(qint32 frameId) const
{
    MessageTuioV2::Frame frame;
    frame.frameId = frameId;
    frame.time = timeTag(QDateTime::currentMSecsSinceEpoch());
    frame.dimension = dimension(sensorSize());
    frame.bundleTimeTag = static_cast<quint64>(createdAt());
    return frame;
}

QList<QByteArray> Tuio2Client::idleBundles()
{
    return MessageTuioV2(source()).bundles({}, frameHeader(0));
}

void Tuio2Client::sendFrame(const QList<TouchEntity*>& entities, bool reportLocked, qint64 nowMs)
{
    const qint32 frame = nextFrame();
    QVector<TuioPoint> points;
    points.reserve(entities.size());
    for (const TouchEntity* entity : entities) {
        if (reportLocked && !entity->isLocked(nowMs))
            continue;
        points.append(pointOf(*entity));
    }
    send(MessageTuioV2(source()).bundles(points, frameHeader(frame)));
}
