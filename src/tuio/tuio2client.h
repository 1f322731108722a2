#pragma once

#include "tuio/tuioclient.h"

// TUIO 2.0: per frame one bundle (time tag: the client's created-at) with
// "/tuio2/frm", a "/tuio2/ptr" per entity and "/tuio2/alv". Its idle frame
// (frame id 0, empty alv) goes to a receiver that is stopped and to all at
// destruction.
class Tuio2Client : public TuioClient
{
    Q_OBJECT
public:
    explicit Tuio2Client(QObject* parent = nullptr);
    ~Tuio2Client() override;

    void sendFrame(const QList<TouchEntity*>& entities, bool reportLocked, qint64 nowMs) override;

    // Unix time in ms as an OSC time tag: seconds above, the fraction below.
    static quint64 timeTag(qint64 msSinceEpoch);
    static qint32 dimension(const QSize& sensorSize);

protected:
    QList<QByteArray> idleBundles() override;

private:
    MessageTuioV2::Frame frameHeader(qint32 frameId) const;
};
