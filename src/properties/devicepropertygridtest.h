#pragma once

#include "interface/deviceproperty.h"
#include "properties/lineanalysis.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>

class CVNDevice;
class DevicePropertyEnum;
class DevicePropertyFrame;
template <typename T> class DevicePropertyNumberTemplate;

// The grid test ("grid_test"): the sensor is switched to raw frames at zero
// gain and capture mode 0, the 25th frame that arrives is analysed line by
// line, and gain, capture mode and frame mode are set back as they were.
//
// The sensor is never left in the test configuration: when no frame comes
// for frameWaitMs() (controller gone, error replies) the test ends as failed
// and the settings are restored at once; when the controller cannot take
// them back the test says so (failureText(), "error" in its value, a
// warning in the log). A test still running when the property goes away
// (service stop, device removal) writes them back directly if the
// controller is still there.
//
// For the tuning sequence: startTest() begins a run; when it ends the
// observers are told and testFinished() is emitted; damagedColumns() and
// damagedRows() hold the result.
class DevicePropertyGridTest : public QObject, public DeviceProperty, public CVNPropertyObserver
{
    Q_OBJECT
public:
    enum class TestState { Idle, Running, Done, Failed };

    static constexpr int FrameCount = 25;
    static constexpr int DefaultFrameWaitMs = 3000;

    DevicePropertyGridTest(CVNDeviceInterface* interface, const QString& name, const QString& description,
                           const QString& command, int accessMode);
    ~DevicePropertyGridTest() override;

    static QString staticTypeName() { return QStringLiteral("GridTest"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("start | status"); }

    QString execute(CVNEntityContext& context) override;
    // {"action": "init"} starts the test.
    void setValue(const QJsonValue& value) override;
    // {"size", "damaged_cols", "damaged_rows", "state"} (+ "error"); never reads.
    QJsonValue value() override;
    void setSymbolExtra(const QString& role, const QString& value) override;
    CVNDeviceRequest makeRequest() override { return CVNDeviceRequest(); }

    void propertyChanged(CVNProperty* property) override;
    void propertyDestroyed(CVNProperty* property) override;

    // Starts a run; false when it cannot (no frame size: silently; settings
    // not readable or not writable: see failureText()). A run going on is
    // left as it is: its saved settings stay the ones to restore.
    [[nodiscard]] bool startTest();
    // Ends a run going on: no more frames awaited, the settings written
    // back; it ends as failed. Nothing happens when none runs.
    void stopTest();
    TestState testState() const { return m_state; }
    bool isRunning() const { return m_state == TestState::Running; }
    // The longest wait for the next frame (DefaultFrameWaitMs unless set).
    void setFrameWaitMs(int ms);
    int frameWaitMs() const { return m_watchdog.interval(); }
    QString failureText() const { return m_failure; }
    int framesSeen() const { return m_frames; }
    const CVNLineAnalysis& analysis() const { return m_analysis; }
    QVector<int> damagedColumns() const { return m_analysis.damagedColumns(); }
    QVector<int> damagedRows() const { return m_analysis.damagedRows(); }
    // The answer of the text command "status".
    QString statusText() const;

    static QString stateText(TestState state);

signals:
    void testFinished(bool ok);

private slots:
    void framesStopped();

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { (void)value; }
    QString valueText() const override { return statusText(); }
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return QVariant(); }

private:
    bool saveSensorSettings();
    bool applyTestSettings();
    // Writes the saved settings back; false when the controller did not
    // take all of them.
    bool restoreSensorSettings();
    void restoreDirectly();
    void stopWatching();
    void finish(bool ok, const QString& failure);

    DevicePropertyFrame* m_frame = nullptr;
    bool m_watchingFrame = false;
    DevicePropertyNumberTemplate<int>* m_gain = nullptr;
    DevicePropertyNumberTemplate<int>* m_capmode = nullptr;
    DevicePropertyEnum* m_fmode = nullptr;
    QPointer<CVNDevice> m_device;

    // What the test changed, to be written back; valid while m_saved.
    bool m_saved = false;
    int m_savedGain = 0;
    int m_savedCapmode = 0;
    QString m_savedFmode;
    QString m_gainWord, m_capmodeWord, m_fmodeWord;

    TestState m_state = TestState::Idle;
    QString m_failure;
    int m_frames = 0;
    QSize m_size;
    CVNLineAnalysis m_analysis;
    QTimer m_watchdog;
};
