#pragma once

#include "properties/calibrationmap.h"
#include "touch/touchentityproperties.h"
#include "touch/touchrecords.h"

#include <QList>
#include <QVector>

class CVNTouchSerialPools;

// A tracked touch: a finger, a pen or a recognised object, with a stable
// identifier while it lives. Not a QObject: the tracker owns its entities
// and updates them once per poll.
//
// Identifier: (subtype * 100 + variant) * 1000 + serial.
class TouchEntity
{
public:
    enum Kind : int {
        NoKind = 0,
        FingerKind = 1,
        TriangleV1Kind = 2,
        QuadV1Kind = 3,
        TriangleV2Kind = 4,
        QuadV2Kind = 5,
        PenKind = 6,
    };
    static constexpr int MaxHistory = 20;

    // pools: where the serial comes from and goes back to; may be null (no serial).
    TouchEntity(int kind, int variant, CVNTouchSerialPools* pools);
    TouchEntity(const TouchEntity&) = delete;
    TouchEntity& operator=(const TouchEntity&) = delete;
    virtual ~TouchEntity();

    // The rotation as published: through the calibration when the calibrated flag is set.
    virtual float calibratedRotation() const;
    virtual void setCalibrated(bool calibrated) { m_calibrated = calibrated; }
    virtual void setCalibrationData(const CVNCalibrationMap& map) { m_calibration = map; }
    virtual bool isAlive() const;
    // Clears the updated flag; one poll less to live.
    virtual void beginPoll();
    virtual void kill();
    virtual void addSample(const TouchEntityProperties& sample);
    // Offers a contact record; true when this entity took it.
    virtual bool updateFromContact(const CVNRawContact& record, qint64 nowMs);
    // Offers a pen record; true when this entity took it.
    virtual bool updateFromPen(const CVNRawPen& record);
    // Refreshes the keep-alive counter when the entity was updated.
    virtual void endPoll();
    virtual void takeSerial();
    virtual void releaseSerial();
    // The parts of an object (its member fingers, its components); none for
    // fingers and pens.
    virtual QList<const TouchEntity*> nestedEntities() const { return {}; }

    int kind() const { return m_kind; }
    int subtype() const { return m_subtype; }
    int variant() const { return m_variant; }
    int serial() const { return m_serial; }
    int identifier() const { return (m_subtype * 100 + m_variant) * 1000 + m_serial; }
    // Kinds 2..5: recognised objects.
    bool isObject() const { return m_kind >= TriangleV1Kind && m_kind <= QuadV2Kind; }

    qint64 createdAt() const { return m_createdAt; }
    void setCreatedAt(qint64 ms) { m_createdAt = ms; }
    bool isDead() const { return m_dead; }
    void setDead(bool dead) { m_dead = dead; }
    int keepAliveCounter() const { return m_keepAlive; }
    bool isUpdated() const { return m_updated; }
    void setUpdated(bool updated) { m_updated = updated; }
    bool isCalibrated() const { return m_calibrated; }
    bool isLockForced() const { return m_lockForced; }
    void setLockForced(bool forced) { m_lockForced = forced; }
    // Contact id or pen id from the controller; -1 once a pen is killed.
    int deviceId() const { return m_deviceId; }
    void setDeviceId(int id) { m_deviceId = id; }
    const CVNCalibrationMap& calibrationData() const { return m_calibration; }

    // Locked: created-at set and either forced or the time-lock has passed.
    bool isLocked(qint64 nowMs) const;

    // The latest sample, or a default one before the first.
    const TouchEntityProperties& latest() const;
    const QVector<TouchEntityProperties>& history() const { return m_history; }
    // The latest position, through the calibration when the flag is set.
    QPoint publishedPosition() const;

protected:
    // Whether a record of this pressure passes: no threshold, at least the
    // threshold, or locked while locked entities are spared.
    bool passesPressure(int pressure, qint64 nowMs) const;

private:
    int m_kind;
    int m_subtype;
    int m_variant;
    int m_serial = 0;
    qint64 m_createdAt = 0;
    QVector<TouchEntityProperties> m_history;
    bool m_dead = false;
    int m_keepAlive = 0;
    bool m_updated = true;
    bool m_calibrated = false;
    bool m_lockForced = false;
    CVNCalibrationMap m_calibration;
    int m_deviceId = -1;
    CVNTouchSerialPools* m_pools;
};

// A finger: follows the contact records with its contact id.
class TouchPointer : public TouchEntity
{
public:
    TouchPointer(const CVNRawContact& record, CVNTouchSerialPools* pools);

    // The sample of a contact record.
    static TouchEntityProperties sampleOf(const CVNRawContact& record);
    // Whether a new finger may be made of this record.
    static bool acceptsNew(const CVNRawContact& record);

    bool isAlive() const override;
    bool updateFromContact(const CVNRawContact& record, qint64 nowMs) override;
};

// A pen: follows the pen records with its pen id (10..127).
class EntityPen : public TouchEntity
{
public:
    EntityPen(const CVNRawPen& record, CVNTouchSerialPools* pools);

    static TouchEntityProperties sampleOf(const CVNRawPen& record);

    bool isAlive() const override;
    void kill() override;
    bool updateFromPen(const CVNRawPen& record) override;
};
