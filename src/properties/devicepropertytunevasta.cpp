#include "properties/devicepropertytunevasta.h"

#include "device/device.h"
#include "interface/deviceinterface.h"
#include "interface/requestorigin.h"
#include "properties/companion.h"
#include "properties/devicepropertyautotune.h"
#include "properties/devicepropertyenabledisablecells.h"
#include "properties/devicepropertyfoilh.h"
#include "properties/devicepropertygridtest.h"
#include "properties/devicepropertyshield.h"
#include "properties/directcommand.h"
#include "properties/sensorlog.h"
#include "properties/touchoutput.h"
#include "properties/tuneprogress.h"

#include <QJsonArray>
#include <QJsonObject>

#include <utility>

namespace
{

const QString kStartTest = QStringLiteral("startTest");
const QString kNextTest = QStringLiteral("nextTest");
const QString kReTest = QStringLiteral("reTest");
const QString kEndTest = QStringLiteral("endTest");
const QString kDisable = QStringLiteral("disableColsAndRows");
const QString kStopTest = QStringLiteral("stopTest");
const QString kFailed = QStringLiteral("failed");
const QStringList kActions = {kStartTest, kNextTest, kReTest, kEndTest, kDisable, kStopTest, kFailed};

// The settings a finished auto-tune has found and a completed sequence keeps.
const QStringList kTuned = {QStringLiteral("gain"), QStringLiteral("th")};

QJsonArray toArray(const QVector<int>& numbers)
{
    QJsonArray array;
    for (int n : numbers)
        array.append(n);
    return array;
}

bool inMiddleThird(const QVector<int>& lines, int size)
{
    const int third = size / 3;
    for (int line : lines) {
        if (third <= line && line <= 2 * third)
            return true;
    }
    return false;
}

QString linesText(const QVector<int>& columns, const QVector<int>& rows)
{
    return QStringLiteral("%1 damaged columns, %2 damaged rows").arg(columns.size()).arg(rows.size());
}

} // namespace

DevicePropertyTuneVasta::DevicePropertyTuneVasta(CVNDeviceInterface* interface, const QString& name,
                                                 const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
    , m_device(interface ? interface->device() : nullptr)
{
    m_stepTimer.setSingleShot(true);
    m_cosensorTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, &DevicePropertyTuneVasta::runScheduledTest);
    connect(&m_cosensorTimer, &QTimer::timeout, this, &DevicePropertyTuneVasta::cosensorSettled);
}

DevicePropertyTuneVasta::~DevicePropertyTuneVasta()
{
    abandon();
    const QList<CVNProperty*> watched = m_watched;
    m_watched.clear();
    for (CVNProperty* property : watched)
        property->removeObserver(this);
}

QString DevicePropertyTuneVasta::argumentHint() const
{
    return kActions.join(QStringLiteral(" | "));
}

QString DevicePropertyTuneVasta::testName(int test)
{
    static const QStringList names = {QStringLiteral("Next"),     QStringLiteral("Start"),
                                      QStringLiteral("Hardware"), QStringLiteral("ColsRows"),
                                      QStringLiteral("Touch"),    QStringLiteral("Calibration"),
                                      QStringLiteral("End"),      QStringLiteral("Fail")};
    return test >= 0 && test < names.size() ? names.at(test) : QStringLiteral("Unknown");
}

QString DevicePropertyTuneVasta::statusName(int status)
{
    static const QStringList names = {QStringLiteral("Processing"), QStringLiteral("Error"), QStringLiteral("Pass")};
    return status >= 0 && status < names.size() ? names.at(status) : QStringLiteral("Unknown");
}

QString DevicePropertyTuneVasta::touchProcessName(int process)
{
    static const QStringList names = {QStringLiteral("NoiseProcess"), QStringLiteral("DragProcess"),
                                      QStringLiteral("FixedProcess")};
    return process >= 0 && process < names.size() ? names.at(process) : QStringLiteral("Unknown");
}

int DevicePropertyTuneVasta::nextTouchProcess(int process, int touchState, const QVector<int>& columns, int width,
                                              const QVector<int>& rows, int height)
{
    if (process == NoiseProcess && touchState != CVNTuneStates::Undefined)
        process = DragProcess;
    if (process == DragProcess && (inMiddleThird(columns, width) || inMiddleThird(rows, height)))
        process = FixedProcess;
    return process;
}

// --- links

void DevicePropertyTuneVasta::watch(CVNProperty* property)
{
    // Every link is watched, so that none is used after it went away.
    if (property && !m_watched.contains(property)) {
        property->addObserver(this);
        m_watched.append(property);
    }
}

void DevicePropertyTuneVasta::setSymbolExtra(const QString& role, const QString& value)
{
    CVNDeviceInterface* iface = deviceInterface();
    auto number = [&] { return CVNCompanion::find<DevicePropertyInt>(iface, value); };
    if (role == QLatin1String("auto_tune")) {
        watch(m_autoTune = CVNCompanion::find<DevicePropertyAutoTune>(iface, value));
        m_tuneWord = m_autoTune ? m_autoTune->runCommand() : QString();
    } else if (role == QLatin1String("foil_health")) {
        watch(m_foil = CVNCompanion::find<DevicePropertyFoilh>(iface, value));
        if (m_foil)
            connect(m_foil, &DevicePropertyFoilh::testFinished, this, &DevicePropertyTuneVasta::foilFinished,
                    Qt::UniqueConnection);
    } else if (role == QLatin1String("grid_test")) {
        watch(m_grid = CVNCompanion::find<DevicePropertyGridTest>(iface, value));
        if (m_grid)
            connect(m_grid, &DevicePropertyGridTest::testFinished, this, &DevicePropertyTuneVasta::gridFinished,
                    Qt::UniqueConnection);
    } else if (role == QLatin1String("enable_disable_cells")) {
        watch(m_cells = CVNCompanion::find<DevicePropertyEnableDisableCells>(iface, value));
    } else if (role == QLatin1String("tcenable")) {
        watch(m_tcenable = number());
    } else if (role == QLatin1String("gain")) {
        watch(m_gain = number());
    } else if (role == QLatin1String("th")) {
        watch(m_th = number());
    } else if (role == QLatin1String("cosensor")) {
        watch(m_cosensor = number());
    } else if (role.startsWith(QLatin1String("shield"))) {
        watch(m_shield = CVNCompanion::find<DevicePropertyShield>(iface, value));
        if (m_shield) {
            for (DevicePropertyInt* setting : m_shield->levelSettings())
                watch(setting);
        }
    } else if (role == QLatin1String("tuio")) {
        auto* property = CVNCompanion::find<CVNProperty>(iface, value);
        m_tuio = dynamic_cast<CVNTouchOutput*>(property);
        m_tuioProperty = m_tuio ? property : nullptr;
        watch(m_tuioProperty);
    }
}

void DevicePropertyTuneVasta::propertyChanged(CVNProperty* property)
{
    if (m_autoTune && property == static_cast<CVNProperty*>(m_autoTune) && m_tuning && m_running
        && m_test == Touch)
        handleAutoTune();
}

void DevicePropertyTuneVasta::propertyDestroyed(CVNProperty* property)
{
    m_watched.removeAll(property);
    m_saved.forget(property);
    auto drop = [property](auto*& link) {
        if (link && static_cast<CVNProperty*>(link) == property)
            link = nullptr;
    };
    drop(m_autoTune);
    drop(m_foil);
    drop(m_grid);
    drop(m_cells);
    drop(m_tcenable);
    drop(m_gain);
    drop(m_th);
    drop(m_cosensor);
    drop(m_shield);
    if (property == m_tuioProperty) {
        m_tuioProperty = nullptr;
        m_tuio = nullptr;
    }
    // The controller's properties are going away (removal, service stop):
    // whatever the sequence changed goes back while the controller may
    // still be there.
    abandon();
}

// --- actions

void DevicePropertyTuneVasta::setValue(const QJsonValue& value)
{
    const QJsonValue action = value.toObject().value(QStringLiteral("action"));
    if (!action.isString()) {
        refuseWrite(QStringLiteral("Invalid argument: {\"action\": \"%1\"} expected").arg(kActions.join(QStringLiteral("\" | \""))));
        return;
    }
    const QString refusal = act(action.toString());
    if (!refusal.isEmpty())
        refuseWrite(refusal);
}

QString DevicePropertyTuneVasta::execute(CVNEntityContext& context)
{
    const QStringList& words = context.arguments;
    if (words.size() > 1) {
        context.failed = true;
        return QStringLiteral("Invalid arguments");
    }
    if (words.size() == 1) {
        const QString refusal = act(words.first());
        if (!refusal.isEmpty()) {
            context.failed = true;
            return refusal;
        }
    }
    return stateText();
}

QString DevicePropertyTuneVasta::act(const QString& action)
{
    if (action == kStartTest)
        return begin();
    if (!kActions.contains(action))
        return QStringLiteral("Unknown action \"%1\"; the actions are %2")
            .arg(action.left(64), kActions.join(QStringLiteral(", ")));
    if (!m_running)
        return QStringLiteral("The tuning sequence is not running; startTest begins it");
    if (action == kNextTest)
        goTo(Next);
    else if (action == kReTest)
        reTest();
    else if (action == kEndTest)
        goTo(End);
    else if (action == kDisable)
        return disableColsAndRows();
    else if (action == kStopTest)
        finish(Ending::Stopped);
    else if (action == kFailed)
        finish(Ending::Failed, QStringLiteral("failed by the client"));
    return QString();
}

QString DevicePropertyTuneVasta::begin()
{
    if (m_running)
        return QStringLiteral("The tuning sequence is already running; stopTest or failed ends it");
    m_touchProcess = NoiseProcess;
    m_touchState = CVNTuneStates::Undefined;
    m_noiseProgress = 0;
    m_cosensorValue = 0;
    m_gridTestUsed = false;
    m_tuneCompleted = false;
    m_error.clear();
    m_ended.clear();
    m_notRestored.clear();
    releaseDriver();
    if (QObject* origin = CVNRequestOrigin::current()) {
        m_driver = origin;
        m_driverConnection = connect(origin, &QObject::destroyed, this, &DevicePropertyTuneVasta::driverGone);
    }
    startTest();
    return m_test == Fail ? m_error : QString();
}

QString DevicePropertyTuneVasta::disableColsAndRows()
{
    if (m_test != ColsRows)
        return QStringLiteral("disableColsAndRows belongs to the ColsRows test; the current test is %1")
            .arg(testName(m_test));
    if (m_status == Processing)
        return QStringLiteral("The ColsRows test has no result yet");
    if (!m_cells)
        return QStringLiteral("This controller has no cell mask");
    if (!m_cells->disableLines(damagedColumns(), damagedRows())) {
        const QString why = QStringLiteral("The cell mask was not written: %1")
                                .arg(m_cells->lastError().isEmpty() ? QStringLiteral("no answer") : m_cells->lastError());
        setError(why);
        return why;
    }
    goTo(Next);
    return QString();
}

// --- the sequence

void DevicePropertyTuneVasta::goTo(int test)
{
    if (!m_running)
        return;
    if (test == Next)
        test = m_test + 1;
    if (test < Start || test > End) {
        finish(Ending::Stopped);
        return;
    }
    leaveCurrentTest();
    m_test = test;
    m_status = Processing;
    m_error.clear();
    notifyChanged();
    m_scheduled = test;
    m_stepTimer.start(test == Start || test == End ? ShortStepDelayMs : m_stepDelayMs);
}

void DevicePropertyTuneVasta::runScheduledTest()
{
    switch (m_scheduled) {
    case Start:
        startTest();
        break;
    case Hardware:
        hardwareTest();
        break;
    case ColsRows:
        colsRowsTest();
        break;
    case Touch:
        touchTest();
        break;
    case Calibration:
        calibrationTest();
        break;
    case End:
        endTest();
        break;
    default:
        break;
    }
}

void DevicePropertyTuneVasta::leaveCurrentTest()
{
    m_stepTimer.stop();
    m_cosensorTimer.stop();
    if (m_waitingFoil) {
        m_waitingFoil = false;
        if (m_foil && m_foil->testState() == DevicePropertyFoilh::TestState::Running)
            m_foil->stopTest();
    }
    if (m_waitingGrid) {
        m_waitingGrid = false;
        if (m_grid)
            m_grid->stopTest();
    }
    if (m_tuning) {
        m_tuning = false;
        if (m_autoTune)
            m_autoTune->stop();
    }
}

void DevicePropertyTuneVasta::setError(const QString& text)
{
    m_status = Error;
    m_error = text;
    notifyChanged();
}

void DevicePropertyTuneVasta::startTest()
{
    if (m_running) {
        // Never saved twice: the second time would save the test settings.
        goTo(Hardware);
        return;
    }
    m_running = true;
    m_test = Start;
    m_status = Processing;
    holdTouchOutput(true);
    QList<QPair<QString, DevicePropertyInt*>> settings;
    QStringList missing;
    for (const auto& link : {qMakePair(QStringLiteral("gain"), m_gain), qMakePair(QStringLiteral("th"), m_th)}) {
        if (!link.second)
            missing.append(link.first);
        settings.append(link);
    }
    if (m_shield) {
        for (DevicePropertyInt* setting : m_shield->levelSettings())
            settings.append({QStringLiteral("shield"), setting});
    }
    settings.append({QStringLiteral("tcenable"), m_tcenable});
    if (!m_tcenable)
        missing.append(QStringLiteral("tcenable"));
    if (!missing.isEmpty()) {
        finish(Ending::Failed, QStringLiteral("this controller has no %1").arg(missing.join(QStringLiteral(", "))));
        return;
    }
    QStringList unreadable;
    if (!m_saved.save(settings, &unreadable)) {
        finish(Ending::Failed, QStringLiteral("%1 could not be read").arg(unreadable.join(QStringLiteral(", "))));
        return;
    }
    bool applied = true;
    if (m_shield) {
        m_shield->setRequestState(Idle);
        m_shield->setLevel(0);
        applied = m_shield->level() == 0;
    }
    // Touches of the test must not reach the operating system.
    applied = CVNCompanion::write(m_tcenable, 0) && applied;
    if (!applied) {
        finish(Ending::Failed, QStringLiteral("the controller did not take shield 0 and tcenable 0"));
        return;
    }
    goTo(Next);
}

void DevicePropertyTuneVasta::hardwareTest()
{
    if (!m_running || m_test != Hardware)
        return;
    notifyChanged();
    if (!m_cosensor) {
        goTo(Next); // nothing to tell: as a co-sensor state unknown
        return;
    }
    // A fresh reading, taken once the co-sensor had time to settle.
    m_cosensor->setRequestState(Idle);
    (void)m_cosensor->value();
    m_cosensorTimer.start(m_cosensorWaitMs);
}

void DevicePropertyTuneVasta::cosensorSettled()
{
    if (!m_running || m_test != Hardware || !m_cosensor)
        return;
    if (m_cosensor->requestState() != ReplyReceived) {
        setError(QStringLiteral("cosensor could not be read: %1")
                     .arg(m_cosensor->lastError().isEmpty() ? QStringLiteral("no answer") : m_cosensor->lastError()));
        return;
    }
    m_cosensorValue = m_cosensor->cachedValue();
    // 0 connected, 2 unknown.
    if (m_cosensorValue == 0 || m_cosensorValue == 2)
        goTo(Next);
    else
        setError(QStringLiteral("the co-sensor is not connected (cosensor %1)").arg(m_cosensorValue));
}

void DevicePropertyTuneVasta::colsRowsTest()
{
    if (!m_running || m_test != ColsRows)
        return;
    notifyChanged();
    if (m_foil && !m_gridTestUsed) {
        m_waitingFoil = true;
        // A run that cannot start reports so through testFinished(false).
        if (!m_foil->startTest() && m_waitingFoil)
            foilFinished(false);
        return;
    }
    startGridTest();
}

void DevicePropertyTuneVasta::startGridTest()
{
    m_gridTestUsed = true;
    notifyChanged();
    m_waitingGrid = true;
    if (m_grid && m_grid->startTest())
        return;
    m_waitingGrid = false;
    const QString why = m_grid ? m_grid->failureText() : QStringLiteral("no grid test on this controller");
    setError(QStringLiteral("The grid test did not start%1").arg(why.isEmpty() ? QString() : QStringLiteral(": ") + why));
}

void DevicePropertyTuneVasta::foilFinished(bool ok)
{
    if (!m_waitingFoil)
        return;
    m_waitingFoil = false;
    if (!m_running || m_test != ColsRows || !m_foil)
        return;
    if (!ok) {
        // The grid test finds the same lines another way.
        if (!m_gridTestUsed) {
            qCInfo(lcSensor) << "tuning: foil health test failed (" << m_foil->failureText() << "), grid test instead";
            startGridTest();
        } else {
            setError(QStringLiteral("The foil health test failed: ") + m_foil->failureText());
        }
        return;
    }
    const QVector<int> columns = m_foil->damagedColumns();
    const QVector<int> rows = m_foil->damagedRows();
    if (!m_gridTestUsed && columns.size() + rows.size() >= GridTestLineCount) {
        startGridTest();
        return;
    }
    if (columns.isEmpty() && rows.isEmpty())
        goTo(Next);
    else
        setError(linesText(columns, rows));
}

void DevicePropertyTuneVasta::gridFinished(bool ok)
{
    if (!m_waitingGrid)
        return;
    m_waitingGrid = false;
    if (!m_running || m_test != ColsRows || !m_grid)
        return;
    if (!ok) {
        setError(QStringLiteral("The grid test failed: ") + m_grid->failureText());
        return;
    }
    const QVector<int> columns = m_grid->damagedColumns();
    const QVector<int> rows = m_grid->damagedRows();
    if (columns.isEmpty() && rows.isEmpty())
        goTo(Next);
    else
        setError(linesText(columns, rows));
}

void DevicePropertyTuneVasta::touchTest()
{
    if (!m_running || m_test != Touch)
        return;
    m_touchProcess = NoiseProcess;
    m_touchState = CVNTuneStates::Undefined;
    m_noiseProgress = 0;
    notifyChanged();
    if (!m_autoTune) {
        finish(Ending::Failed, QStringLiteral("this controller has no auto-tune"));
        return;
    }
    m_autoTune->setPollInterval(DevicePropertyAutoTune::DefaultPollIntervalMs);
    m_autoTune->stop();
    m_tuning = true;
    // A start the controller refuses arrives as a failed auto-tune.
    (void)m_autoTune->start();
}

void DevicePropertyTuneVasta::handleAutoTune()
{
    switch (m_autoTune->tuneState()) {
    case CVNTuneStates::Done:
        m_tuning = false;
        m_tuneCompleted = true;
        goTo(Next);
        return;
    case CVNTuneStates::GainTouch: {
        const int state = m_autoTune->touchState();
        const QSize grid = gridSize();
        m_touchProcess
            = nextTouchProcess(m_touchProcess, state, damagedColumns(), grid.width(), damagedRows(), grid.height());
        m_touchState = state;
        break;
    }
    case CVNTuneStates::GainNoise:
        m_noiseProgress = qMax(0, m_autoTune->noiseProgress());
        break;
    default: {
        m_tuning = false;
        const QString why = m_autoTune->failureText();
        m_autoTune->stop();
        finish(Ending::Failed, why.isEmpty() ? QStringLiteral("the auto-tune stopped") : why);
        return;
    }
    }
    notifyChanged();
}

void DevicePropertyTuneVasta::calibrationTest()
{
    if (m_running && m_test == Calibration)
        notifyChanged(); // the client calibrates; nextTest or endTest goes on
}

void DevicePropertyTuneVasta::endTest()
{
    if (m_running)
        finish(Ending::Completed);
}

void DevicePropertyTuneVasta::reTest()
{
    if (m_running)
        goTo(m_test);
}

void DevicePropertyTuneVasta::driverGone()
{
    m_driver = nullptr;
    if (m_running)
        finish(Ending::DriverGone, QStringLiteral("the client driving the tuning sequence disconnected"));
}

void DevicePropertyTuneVasta::releaseDriver()
{
    if (m_driverConnection)
        disconnect(m_driverConnection);
    m_driverConnection = QMetaObject::Connection();
    m_driver = nullptr;
}

void DevicePropertyTuneVasta::holdTouchOutput(bool hold)
{
    if (m_tuio)
        m_tuio->holdOutput(hold);
}

void DevicePropertyTuneVasta::finish(Ending ending, const QString& reason)
{
    if (!m_running)
        return;
    leaveCurrentTest();
    const bool keepTuned = ending == Ending::Completed && m_tuneCompleted;
    m_notRestored = m_saved.restore(m_device, keepTuned ? kTuned : QStringList());
    holdTouchOutput(false);
    m_running = false;
    releaseDriver();
    if (ending != Ending::Completed) {
        m_noiseProgress = 0;
        m_touchProcess = NoiseProcess;
        m_touchState = CVNTuneStates::Undefined;
    }
    m_test = ending == Ending::Failed ? Fail : End;
    const bool error = ending == Ending::Failed || !m_notRestored.isEmpty();
    m_status = error ? Error : Pass;
    m_error.clear();
    if (ending == Ending::Failed)
        m_error = reason;
    if (!m_notRestored.isEmpty()) {
        const QString lost = QStringLiteral("could not be restored: ") + m_notRestored.join(QStringLiteral(", "));
        m_error = m_error.isEmpty() ? lost : m_error + QStringLiteral("; ") + lost;
        qCWarning(lcSensor).nospace() << "tuning of " << (m_device ? m_device->serialNumber() : QString()) << ": "
                                      << lost;
    }
    static const char* const endings[] = {"completed", "stopped", "failed", "client disconnected"};
    m_ended = QLatin1String(endings[int(ending)]);
    if (ending == Ending::DriverGone)
        qCInfo(lcSensor) << "tuning:" << reason;
    notifyChanged();
}

void DevicePropertyTuneVasta::abandon()
{
    if (!m_running)
        return;
    m_stepTimer.stop();
    m_cosensorTimer.stop();
    m_waitingFoil = false;
    m_waitingGrid = false;
    m_running = false;
    releaseDriver();
    // The other properties may already be gone: the command channel only,
    // the controller's run stopped first so that it changes nothing after.
    if (std::exchange(m_tuning, false))
        (void)CVNDirectCommand::send(m_device, m_tuneWord, QStringLiteral("stop"));
    m_notRestored = m_saved.restoreDirectly(m_device);
    m_test = End;
    m_status = m_notRestored.isEmpty() ? Pass : Error;
    m_ended = QStringLiteral("controller gone");
    if (!m_notRestored.isEmpty())
        qCWarning(lcSensor).nospace() << "tuning ended with its controller: could not restore "
                                      << m_notRestored.join(QStringLiteral(", "));
}

// --- state

QVector<int> DevicePropertyTuneVasta::damagedColumns() const
{
    if (m_gridTestUsed)
        return m_grid && m_grid->testState() == DevicePropertyGridTest::TestState::Done ? m_grid->damagedColumns()
                                                                                       : QVector<int>();
    return m_foil && m_foil->testState() == DevicePropertyFoilh::TestState::Done ? m_foil->damagedColumns()
                                                                                 : QVector<int>();
}

QVector<int> DevicePropertyTuneVasta::damagedRows() const
{
    if (m_gridTestUsed)
        return m_grid && m_grid->testState() == DevicePropertyGridTest::TestState::Done ? m_grid->damagedRows()
                                                                                       : QVector<int>();
    return m_foil && m_foil->testState() == DevicePropertyFoilh::TestState::Done ? m_foil->damagedRows()
                                                                                 : QVector<int>();
}

QSize DevicePropertyTuneVasta::gridSize() const
{
    // From "fsize" through the cell mask; the frame property is left alone,
    // since whoever watches it keeps frames coming.
    return m_cells ? m_cells->gridSize() : QSize();
}

QJsonObject DevicePropertyTuneVasta::testData() const
{
    switch (m_test) {
    case Hardware:
        return m_cosensorValue != 0 ? QJsonObject{{QStringLiteral("cosensor"), m_cosensorValue}} : QJsonObject();
    case ColsRows:
        return QJsonObject{{QStringLiteral("rows"), toArray(damagedRows())},
                           {QStringLiteral("cols"), toArray(damagedColumns())},
                           {QStringLiteral("gridTestUsed"), m_gridTestUsed}};
    case Touch: {
        QJsonObject data{{QStringLiteral("touchProcess"), touchProcessName(m_touchProcess)},
                         {QStringLiteral("touchState"), CVNTuneStates::touchStateName(m_touchState)}};
        if (m_touchProcess == NoiseProcess)
            data.insert(QStringLiteral("touchNoiseProgress"), m_noiseProgress);
        return data;
    }
    default:
        break;
    }
    return QJsonObject();
}

QJsonValue DevicePropertyTuneVasta::cachedJson() const
{
    QJsonObject state{{QStringLiteral("currentTest"), testName(m_test)},
                      {QStringLiteral("currentTestStatus"), statusName(m_status)},
                      {QStringLiteral("currentTestData"), testData()},
                      {QStringLiteral("running"), m_running}};
    if (!m_error.isEmpty())
        state.insert(QStringLiteral("error"), m_error);
    if (!m_running && !m_ended.isEmpty())
        state.insert(QStringLiteral("ended"), m_ended);
    if (!m_notRestored.isEmpty())
        state.insert(QStringLiteral("notRestored"), QJsonArray::fromStringList(m_notRestored));
    return QJsonObject{{QStringLiteral("state"), state}};
}

QString DevicePropertyTuneVasta::stateText() const
{
    QString text = testName(m_test) + QStringLiteral(": ") + statusName(m_status);
    if (!m_error.isEmpty())
        text += QStringLiteral(" (") + m_error + QLatin1Char(')');
    return text;
}

QString DevicePropertyTuneVasta::writeWords(const QStringList& words)
{
    (void)words;
    return QStringLiteral("Invalid arguments");
}

bool DevicePropertyTuneVasta::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}
