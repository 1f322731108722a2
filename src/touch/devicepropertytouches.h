#pragma once

#include "interface/deviceproperty.h"
#include "touch/touchtracker.h"

#include <QObject>
#include <QTimer>

#include <functional>

class DevicePropertyCalibration;
class DevicePropertyTouchCalibration;

// The touch stream of a controller: while observed (a notification
// subscriber, the TUIO output) it reads the controller's touch reports every
// 30 ms, tracks fingers and pens (and, through object recognition, objects)
// with stable identifiers, maps them through the geometric calibration when
// touch calibration asks for it, and tells its observers after each reply.
//
// Its value for clients: {"or-spec": N, "entities": [...]}, "entities" only
// after a reply and while something is tracked.
class DevicePropertyTouches : public QObject, public DeviceProperty
{
    Q_OBJECT
public:
    static constexpr int PollIntervalMs = 30;

    DevicePropertyTouches(CVNDeviceInterface* interface, const QString& name, const QString& description,
                          const QString& command, int accessMode);
    ~DevicePropertyTouches() override;

    static QString staticTypeName() { return QStringLiteral("Touches"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QString(); }

    QString execute(CVNEntityContext& context) override;
    QJsonValue value() override;
    void setValue(const QJsonValue& value) override;
    CVNDeviceRequest makeRequest() override;
    void handleReply(const CVNDeviceRequest& reply) override;
    // The poll runs while somebody observes a mutable touch stream.
    void addObserver(CVNPropertyObserver* observer) override;
    void removeObserver(CVNPropertyObserver* observer) override;

    const CVNTouchTracker& tracker() const { return m_tracker; }
    CVNTouchTracker& tracker() { return m_tracker; }
    bool isPolling() const { return m_poll.isActive(); }
    int orSpec() const { return m_tracker.orSpec(); }
    // For tests: the clock of created-at and locking (ms since the epoch).
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

    DevicePropertyCalibration* geometricCalibrationLink() const;
    DevicePropertyTouchCalibration* touchCalibrationLink() const;

public slots:
    // One read of the touch reports; the reply updates the tracker.
    void readValue();

protected:
    // Clamps to 0..2; a change restarts tracking with fresh serials and a
    // matching recognition processor.
    void applyOrSpec(int orSpec);

    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return QVariant(); }

private:
    void takeBlock(const QByteArray& block);
    void applyCalibration();
    // Reads the calibration links that were never read, so that mapping
    // starts from what the controller holds.
    void primeCalibration();

    CVNTouchTracker m_tracker;
    QTimer m_poll;
    bool m_reading = false;
    std::function<qint64()> m_clock;
};
