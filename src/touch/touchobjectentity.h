#pragma once

#include "touch/touchentity.h"

#include <QVector>

// What triangles and quads share: feet that are fingers owned by the object,
// the capture distance within which a contact record may belong to one of
// them, and the capture of a new finger as the replacement of a lost foot.
class TouchObjectEntity : public TouchEntity
{
public:
    using TouchEntity::TouchEntity;

    // Every foot, in the object's order.
    virtual QVector<TouchPointer*> feet() const = 0;

    // Takes an unlocked finger of the tracker as the replacement of a foot
    // that lost its contact this poll: the finger must lie within the
    // capture distance of every foot, nearer to the lost foot than to any
    // other, and closer to it than half the object's shortest side. True
    // when taken; the caller kills the finger.
    bool captureFinger(const TouchEntity& finger);

    // Within max-capture x the longest side (recorded at recognition) of every foot.
    bool withinCapture(const QPoint& position) const;

    double recordedShortest() const { return m_shortest; }
    double recordedLongest() const { return m_longest; }
    int recordedRadius() const { return m_recordedRadius; }

    void setCalibrated(bool calibrated) override;
    void setCalibrationData(const CVNCalibrationMap& map) override;

protected:
    void record(double shortest, double longest, int radius);
    // A foot that took a record or a finger marks its object updated.
    virtual void footTaken(TouchPointer* foot) { (void)foot; }
    // Makes a foot follow a finger of the tracker (its contact id and latest sample).
    static void adopt(TouchPointer* foot, const TouchEntity& finger);

private:
    double m_shortest = 0.0;
    double m_longest = 0.0;
    int m_recordedRadius = 0;
};
