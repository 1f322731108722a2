#pragma once

#include "interface/deviceentitybuilder.h"
#include "interface/deviceproperty.h"
#include "properties/lineanalysis.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSize>
#include <QTimer>

class DevicePropertyIntPair;

// The foil health test that the controller runs by itself ("foil_health"):
// started with "foilh start", followed by its status every 500 ms while it
// reads 2 (running), then its per-cell result bitmap is fetched and
// analysed line by line.
//
// The wait is bounded: a test still running after maxRunMs(), or whose
// status cannot be read MaxStatusFailures times in a row, is stopped and
// ends as failed.
//
// For the tuning sequence: startTest() begins a run; when it ends the
// observers are told and testFinished() is emitted (true with the result,
// false on failure, see failureText()); damagedColumns()/damagedRows() then
// hold the result. The test changes no sensor setting.
class DevicePropertyFoilh : public QObject, public DeviceProperty
{
    Q_OBJECT
public:
    enum class TestState { Idle, Running, Done, Failed };

    static constexpr int StatusIntervalMs = 500;
    static constexpr int DefaultMaxRunMs = 30000;
    static constexpr int MaxStatusFailures = 4;
    static constexpr int RunningStatus = 2;

    DevicePropertyFoilh(CVNDeviceInterface* interface, const QString& name, const QString& description,
                        const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("FoilHealth"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("start | stop | status | result"); }

    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override;
    // {"size", "damaged_cols", "damaged_rows", "state"}; never reads.
    QJsonValue value() override;
    void setSymbolExtra(const QString& role, const QString& value) override;
    CVNDeviceRequest makeRequest() override;
    void handleReply(const CVNDeviceRequest& reply) override;

    // Starts a run; false (see failureText()) when the controller did not
    // take the start. A run already going on is left as it is.
    [[nodiscard]] bool startTest();
    // Stops a run (the controller is told); it ends as failed.
    void stopTest();
    TestState testState() const { return m_testState; }
    // The longest run waited for (DefaultMaxRunMs unless set).
    void setMaxRunMs(int ms) { m_maxRunMs = qMax(StatusIntervalMs, ms); }
    int maxRunMs() const { return m_maxRunMs; }
    QString failureText() const { return m_failure; }
    int lastStatus() const { return m_status; }
    const CVNLineAnalysis& analysis() const { return m_analysis; }
    QVector<int> damagedColumns() const { return m_analysis.damagedColumns(); }
    QVector<int> damagedRows() const { return m_analysis.damagedRows(); }

    static QString stateText(TestState state);

signals:
    void testFinished(bool ok);

public slots:
    // One status poll; schedules the next while the test runs.
    void checkRunningStatus();

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return QVariant(); }

private:
    // Sends one request for the action; true when a good reply came.
    bool request(const QString& action);
    QString actionName(const QString& word) const;
    QSize gridSize();
    void finish(bool ok, const QString& failure);

    QHash<QString, QString> m_actions; // word -> request name
    QString m_inFlight;
    bool m_queued = false; // m_inFlight was asked for and waits to be sent
    DevicePropertyIntPair* m_size = nullptr;
    QSize m_resultSize;
    CVNLineAnalysis m_analysis;
    int m_status = -1;
    bool m_replyOk = false;
    TestState m_testState = TestState::Idle;
    QString m_failure;
    int m_statusFailures = 0;
    int m_maxRunMs = DefaultMaxRunMs;
    QElapsedTimer m_runClock;
    QTimer m_pollTimer;
};

// "FoilHealth": the four keys.
class DevicePropertyBuilderFoilh : public CVNDevicePropertyBuilderTemplate2<DevicePropertyFoilh>
{
};
