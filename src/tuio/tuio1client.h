#pragma once

#include "tuio/tuioclient.h"

// TUIO 1.1: per frame a cursor bundle ("/tuio/2Dcur": fingers and pens) and
// an object bundle ("/tuio/2Dobj": recognised objects); 500 ms after the
// last frame with touches, and whenever there are none, the idle frame (both
// bundles empty) tells receivers that nothing is on the sensor.
class Tuio1Client : public TuioClient
{
    Q_OBJECT
public:
    static constexpr int IdleIntervalMs = 500;

    explicit Tuio1Client(QObject* parent = nullptr);
    // Stops the idle timer and sends the idle frame.
    ~Tuio1Client() override;

    void sendFrame(const QList<TouchEntity*>& entities, bool reportLocked, qint64 nowMs) override;

protected:
    QList<QByteArray> idleBundles() override;
};
