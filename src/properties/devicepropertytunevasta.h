#pragma once

#include "interface/deviceproperty.h"
#include "interface/devicepropertynumber.h"
#include "properties/tunesettings.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>
#include <QVector>

class CVNDevice;
class CVNTouchOutput;
class DevicePropertyAutoTune;
class DevicePropertyEnableDisableCells;
class DevicePropertyFoilh;
class DevicePropertyGridTest;
class DevicePropertyShield;

// The guided tuning sequence ("tune_vasta"): Start, Hardware (co-sensor),
// ColsRows (foil health test, the grid test when that finds 31 or more
// damaged lines or cannot run, damaged lines masked on request), Touch (the
// controller's auto-tune), Calibration (the client's own work) and End.
// Clients drive it with {"action": ...} writes and follow its JSON state.
//
// At the start it saves gain, th, the four settings behind the shield
// level and tcenable, then sets the shield to 0 and tcenable to 0 and
// holds the TUIO output. A sequence that reaches End keeps the gain and th
// that a finished auto-tune found and writes back everything else; any
// other ending (Fail, stopTest, the driving client disconnecting, the
// controller or the service going away) writes back every saved setting.
// What could not be written back is reported ("notRestored") and logged.
// Nothing keeps polling once the sequence is over.
class DevicePropertyTuneVasta : public QObject, public DeviceProperty, public CVNPropertyObserver
{
    Q_OBJECT
public:
    enum Test : int { Next = 0, Start = 1, Hardware = 2, ColsRows = 3, Touch = 4, Calibration = 5, End = 6, Fail = 7 };
    enum Status : int { Processing = 0, Error = 1, Pass = 2 };
    enum TouchProcess : int { NoiseProcess = 0, DragProcess = 1, FixedProcess = 2 };

    // The pause before each test, so that a person can follow.
    static constexpr int DefaultStepDelayMs = 3000;
    static constexpr int ShortStepDelayMs = 10;
    // How long the co-sensor is given before its reading counts.
    static constexpr int DefaultCosensorWaitMs = 2000;
    // From this many damaged lines on the foil health result is set aside
    // for the grid test.
    static constexpr int GridTestLineCount = 31;

    DevicePropertyTuneVasta(CVNDeviceInterface* interface, const QString& name, const QString& description,
                            const QString& command, int accessMode);
    ~DevicePropertyTuneVasta() override;

    static QString staticTypeName() { return QStringLiteral("TuneVasta"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override;

    QString execute(CVNEntityContext& context) override;
    // {"action": "startTest" | "nextTest" | "reTest" | "endTest" |
    // "disableColsAndRows" | "stopTest" | "failed"}; a refused action says
    // why in the write's error.
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override { return cachedJson(); }
    void setSymbolExtra(const QString& role, const QString& value) override;
    CVNDeviceRequest makeRequest() override { return CVNDeviceRequest(); }

    void propertyChanged(CVNProperty* property) override;
    void propertyDestroyed(CVNProperty* property) override;

    // Tests shorten the pauses.
    void setStepDelayMs(int ms) { m_stepDelayMs = qMax(0, ms); }
    void setCosensorWaitMs(int ms) { m_cosensorWaitMs = qMax(0, ms); }

    int currentTest() const { return m_test; }
    int currentStatus() const { return m_status; }
    int touchProcess() const { return m_touchProcess; }
    bool isRunning() const { return m_running; }
    QStringList notRestored() const { return m_notRestored; }

    static QString testName(int test);
    static QString statusName(int status);
    static QString touchProcessName(int process);
    // The touch process once the auto-tune reports touch state `touchState`:
    // the first non-zero state turns NoiseProcess into DragProcess, and a
    // damaged column (row) in the middle third of the grid's width (height)
    // turns DragProcess into FixedProcess, where dragging a finger across
    // the sensor would not work.
    static int nextTouchProcess(int process, int touchState, const QVector<int>& columns, int width,
                                const QVector<int>& rows, int height);

public slots:
    void startTest();
    void hardwareTest();
    void colsRowsTest();
    void touchTest();
    void calibrationTest();
    void endTest();
    void reTest();

private slots:
    void runScheduledTest();
    void cosensorSettled();
    void foilFinished(bool ok);
    void gridFinished(bool ok);
    void driverGone();

private:
    enum class Ending { Completed, Stopped, Failed, DriverGone };

    // The work of an action; empty when done, else why not.
    QString act(const QString& action);
    QString begin();
    QString disableColsAndRows();
    void goTo(int test);
    // Cancels what the current test has under way (timers, foil health and
    // grid test runs, the auto-tune).
    void leaveCurrentTest();
    void setError(const QString& text);
    void startGridTest();
    void handleAutoTune();
    void finish(Ending ending, const QString& reason = QString());
    // Everything written back straight over the command channel: the
    // properties are going away.
    void abandon();
    void holdTouchOutput(bool hold);
    void watch(CVNProperty* property);
    void releaseDriver();
    QVector<int> damagedColumns() const;
    QVector<int> damagedRows() const;
    QSize gridSize() const;
    QJsonObject testData() const;
    QString stateText() const;

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { (void)value; }
    QString valueText() const override { return stateText(); }
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return QVariant(); }

private:
    DevicePropertyAutoTune* m_autoTune = nullptr;
    DevicePropertyFoilh* m_foil = nullptr;
    DevicePropertyGridTest* m_grid = nullptr;
    DevicePropertyEnableDisableCells* m_cells = nullptr;
    DevicePropertyInt* m_tcenable = nullptr;
    DevicePropertyInt* m_gain = nullptr;
    DevicePropertyInt* m_th = nullptr;
    DevicePropertyInt* m_cosensor = nullptr;
    DevicePropertyShield* m_shield = nullptr;
    QString m_tuneWord; // "dtune", for stopping the run directly
    CVNProperty* m_tuioProperty = nullptr;
    CVNTouchOutput* m_tuio = nullptr;
    QList<CVNProperty*> m_watched;
    QPointer<CVNDevice> m_device;

    int m_test = Next;
    int m_status = Processing;
    int m_touchProcess = NoiseProcess;
    int m_touchState = 0;
    int m_noiseProgress = 0;
    int m_cosensorValue = 0;
    bool m_gridTestUsed = false;
    bool m_running = false;
    bool m_tuning = false; // the Touch test follows the auto-tune
    bool m_tuneCompleted = false;
    bool m_waitingFoil = false;
    bool m_waitingGrid = false;
    CVNTuneSettings m_saved;
    QString m_error;
    QString m_ended;
    QStringList m_notRestored;

    QPointer<QObject> m_driver;
    QMetaObject::Connection m_driverConnection;

    int m_scheduled = Next;
    int m_stepDelayMs = DefaultStepDelayMs;
    int m_cosensorWaitMs = DefaultCosensorWaitMs;
    QTimer m_stepTimer;
    QTimer m_cosensorTimer;
};
