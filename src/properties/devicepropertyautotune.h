#pragma once

#include "interface/deviceproperty.h"
#include "properties/tuneprogress.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class CVNDevice;
class DevicePropertyEnum;

// The controller's own tuning run ("auto_tune"), started and stopped
// through "dtune" ("start", "stop") and followed by reading the progress
// text of "dtune" every pollInterval() ms: the noise stage (with a
// progress in percent), the touch stage (waiting for a touch, touched,
// lifted, computing, next step), done or failed. A run that is done
// re-reads the settings it changed (this property's "depends").
//
// The poll is bounded: a run that has not ended after maxRunMs(), whose
// progress cannot be read MaxUnreadablePolls times in a row, or whose texts
// say nothing the service understands MaxUnrecognisedPolls times in a row,
// is stopped on the controller and ends in Fail with failureText().
//
// JSON: {"tune_status": "Stopped" | "GainNoise" | "GainTouch" | "Done" |
// "Fail", "touch_state": name, "progress": percent (while known),
// "error": why it failed (when the service knows)}. A structured write
// {"action": "start" | "stop"} starts or stops a run.
class DevicePropertyAutoTune : public QObject, public DeviceProperty, public CVNPropertyObserver
{
    Q_OBJECT
public:
    static constexpr int DefaultPollIntervalMs = 50;
    // The touch stage waits for a person at the sensor.
    static constexpr int DefaultMaxRunMs = 15 * 60 * 1000;
    static constexpr int MaxUnreadablePolls = 20;
    static constexpr int MaxUnrecognisedPolls = 100;

    DevicePropertyAutoTune(CVNDeviceInterface* interface, const QString& name, const QString& description,
                           const QString& command, int accessMode);
    ~DevicePropertyAutoTune() override;

    static QString staticTypeName() { return QStringLiteral("AutoTune"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("start | stop"); }

    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override { return cachedJson(); }
    void setSymbolExtra(const QString& role, const QString& value) override;
    // It has no device request of its own: "dtune" does the device work.
    CVNDeviceRequest makeRequest() override { return CVNDeviceRequest(); }

    void propertyChanged(CVNProperty* property) override { (void)property; }
    void propertyDestroyed(CVNProperty* property) override;

    // Starts a run; false (state Fail, see failureText()) when the
    // controller did not take "dtune start".
    [[nodiscard]] bool start();
    // Tells the controller to stop and stops polling; a run going on ends
    // as Stopped, a finished one keeps its outcome.
    void stop();
    bool isPolling() const { return m_pollTimer.isActive(); }

    int tuneState() const { return m_tracker.tuneState(); }
    int noiseProgress() const { return m_tracker.progress(); }
    int touchState() const { return m_tracker.touchState(); }
    QString failureText() const { return m_failure; }
    // The command word that starts and stops the controller's run.
    QString runCommand() const { return m_dtuneWord; }

    void setPollInterval(int ms);
    int pollInterval() const { return m_pollTimer.interval(); }
    void setMaxRunMs(int ms) { m_maxRunMs = qMax(1, ms); }
    int maxRunMs() const { return m_maxRunMs; }

public slots:
    // One status poll.
    void queryProcessStatus();

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { (void)value; }
    QString valueText() const override { return CVNTuneStates::tuneStateName(tuneState()); }
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return QVariant(); }

private:
    // The "dtune" text now; false when it could not be read.
    bool readProgress(QString* text);
    // Gives the run up: stopped on the controller, state Fail.
    void giveUp(const QString& reason);
    void rereadDependencies();
    // A refusal text for an action word, empty when it was carried out.
    QString act(const QString& word);

    DevicePropertyEnum* m_dtune = nullptr;
    QString m_dtuneWord;
    QPointer<CVNDevice> m_device;
    CVNTuneTracker m_tracker;
    QString m_failure;
    QString m_lastText;
    int m_unreadable = 0;
    int m_unrecognised = 0;
    int m_maxRunMs = DefaultMaxRunMs;
    QElapsedTimer m_runClock;
    QTimer m_pollTimer;
};
