#pragma once

#include "properties/calibrationmap.h"
#include "touch/touchentityprocess.h"
#include "touch/touchrecords.h"
#include "touch/touchserialpools.h"

#include <QList>

#include <memory>

class TouchEntity;

// The tracked touches of one controller: fingers, pens and recognised
// objects with stable identifiers, updated once per touch block.
class CVNTouchTracker
{
public:
    static constexpr int MaxOrSpec = 2;

    CVNTouchTracker();
    ~CVNTouchTracker();
    CVNTouchTracker(const CVNTouchTracker&) = delete;
    CVNTouchTracker& operator=(const CVNTouchTracker&) = delete;

    // One poll: the records of a block, at this time (ms since the epoch).
    void update(const CVNTouchRecords& records, qint64 nowMs);

    // Object recognition: 0 none, 1 and 2 its variants; clamped to 0..2.
    // A change kills every entity and refills the serial pools.
    void setOrSpec(int orSpec);
    int orSpec() const { return m_orSpec; }
    // The processor of step 7; null for none.
    void setProcessor(std::unique_ptr<TouchEntityProcess> processor);

    // Gives every entity the calibration and sets its calibrated flag, or
    // clears the flag of every entity (null).
    void applyCalibration(const CVNCalibrationMap* map);

    // In tracker order; owned by the tracker.
    const QList<TouchEntity*>& entities() const { return m_entities; }
    const CVNTouchRecords& lastRecords() const { return m_records; }
    CVNTouchSerialPools& pools() { return m_pools; }
    void clear();

private:
    void matchContacts(qint64 nowMs);
    void matchPens();
    void addNewEntities(qint64 nowMs);
    void recognise(qint64 nowMs);
    void removeGone();

    QList<TouchEntity*> m_entities;
    CVNTouchRecords m_records;
    QVector<bool> m_contactTaken;
    QVector<bool> m_penTaken;
    CVNTouchSerialPools m_pools;
    int m_orSpec = 0;
    std::unique_ptr<TouchEntityProcess> m_processor;
};
