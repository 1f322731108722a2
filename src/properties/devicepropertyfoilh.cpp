#include "properties/devicepropertyfoilh.h"

#include "interface/devicepropertyintpair.h"
#include "properties/companion.h"
#include "properties/hidfoilhealthexchange.h"
#include "properties/sensorlog.h"

#include <QJsonArray>
#include <QJsonObject>

namespace
{

const QStringList kWords = {QStringLiteral("start"), QStringLiteral("stop"), QStringLiteral("status"),
                            QStringLiteral("result")};

QJsonArray toArray(const QVector<int>& numbers)
{
    QJsonArray array;
    for (int n : numbers)
        array.append(n);
    return array;
}

} // namespace

DevicePropertyFoilh::DevicePropertyFoilh(CVNDeviceInterface* interface, const QString& name,
                                         const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
    for (const QString& word : kWords)
        m_actions.insert(word, QLatin1String(CVNHidFoilHealthExchange::Command) + QLatin1Char('.') + word);
    m_inFlight = m_actions.value(QStringLiteral("status"));
    m_pollTimer.setSingleShot(true);
    m_pollTimer.setInterval(StatusIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &DevicePropertyFoilh::checkRunningStatus);
}

QString DevicePropertyFoilh::stateText(TestState state)
{
    switch (state) {
    case TestState::Idle:
        return QStringLiteral("idle");
    case TestState::Running:
        return QStringLiteral("running");
    case TestState::Done:
        return QStringLiteral("done");
    case TestState::Failed:
        break;
    }
    return QStringLiteral("failed");
}

void DevicePropertyFoilh::setSymbolExtra(const QString& role, const QString& value)
{
    if (kWords.contains(role)) {
        // Only names that the foil health exchange serves.
        if (!CVNHidFoilHealthExchange::actionOf(value).isEmpty())
            m_actions.insert(role, value);
        if (role == QLatin1String("status"))
            m_inFlight = m_actions.value(role);
    } else if (role == QLatin1String("fsize")) {
        m_size = CVNCompanion::find<DevicePropertyIntPair>(deviceInterface(), value);
    }
}

QString DevicePropertyFoilh::actionName(const QString& word) const
{
    return m_actions.value(word);
}

QSize DevicePropertyFoilh::gridSize()
{
    if (!m_size)
        return QSize();
    (void)m_size->value();
    const QVector<int> pair = m_size->cachedValue();
    return QSize(pair.value(0), pair.value(1));
}

bool DevicePropertyFoilh::request(const QString& word)
{
    m_inFlight = actionName(word);
    m_queued = true;
    m_replyOk = false;
    setRequestState(DownloadRequested);
    send();
    m_queued = false; // not sent at all when the device is gone
    return m_replyOk;
}

CVNDeviceRequest DevicePropertyFoilh::makeRequest()
{
    // Only an action asked for is sent as such; any other refresh (all
    // properties re-read, a dependency changed) only reads the status, so
    // that it never starts or stops a test.
    if (!m_queued)
        m_inFlight = actionName(QStringLiteral("status"));
    m_queued = false;
    if (m_inFlight.isEmpty())
        return CVNDeviceRequest();
    if (CVNHidFoilHealthExchange::actionOf(m_inFlight) == QLatin1String("result")) {
        const QSize size = gridSize();
        if (size.isEmpty())
            return CVNDeviceRequest();
        m_resultSize = size;
        return CVNHidFoilHealthExchange::makeRequest(m_inFlight, size.width(), size.height());
    }
    return CVNDeviceRequest(CVNDeviceRequest::Get, m_inFlight, 0);
}

void DevicePropertyFoilh::handleReply(const CVNDeviceRequest& reply)
{
    const QString action = CVNHidFoilHealthExchange::actionOf(reply.name);
    if (reply.type == CVNDeviceRequest::Error) {
        DeviceProperty::handleReply(reply);
        return;
    }
    if (reply.type != CVNDeviceRequest::Get && reply.type != CVNDeviceRequest::Set)
        return;
    m_replyOk = true;
    if (action == QLatin1String("result")) {
        DeviceProperty::handleReply(reply); // analysis, state 3, observers told
        return;
    }
    if (action == QLatin1String("status")) {
        bool ok = false;
        m_status = reply.value.toString().trimmed().toInt(&ok);
        if (!ok)
            m_status = -1;
    }
    // A good answer clears the last error; only a result changes the value.
    CVNDeviceRequest taken = reply;
    taken.type = CVNDeviceRequest::None;
    DeviceProperty::handleReply(taken);
}

void DevicePropertyFoilh::assignReply(const QVariant& value)
{
    m_analysis = CVNLineAnalysis::ofHealthBitmap(value.toByteArray(), m_resultSize.width(), m_resultSize.height());
    m_testState = TestState::Done;
    m_failure.clear();
}

bool DevicePropertyFoilh::startTest()
{
    if (m_testState == TestState::Running)
        return true;
    m_failure.clear();
    m_statusFailures = 0;
    m_status = -1;
    if (!request(QStringLiteral("start"))) {
        finish(false, lastError().isEmpty() ? QStringLiteral("Foil health test not started") : lastError());
        return false;
    }
    m_testState = TestState::Running;
    m_runClock.start();
    m_pollTimer.start();
    notifyChanged();
    return true;
}

void DevicePropertyFoilh::stopTest()
{
    const bool wasRunning = m_testState == TestState::Running;
    (void)request(QStringLiteral("stop"));
    if (wasRunning)
        finish(false, QStringLiteral("Foil health test stopped"));
}

void DevicePropertyFoilh::checkRunningStatus()
{
    if (m_testState != TestState::Running)
        return;
    const bool statusRead = request(QStringLiteral("status"));
    if (m_runClock.elapsed() >= m_maxRunMs) {
        qCWarning(lcSensor) << "foil health test still running after" << m_maxRunMs << "ms: stopped";
        (void)request(QStringLiteral("stop"));
        finish(false, QStringLiteral("Foil health test did not end in time"));
        return;
    }
    if (!statusRead) {
        if (++m_statusFailures >= MaxStatusFailures) {
            finish(false, QStringLiteral("Foil health status not readable: %1")
                              .arg(lastError().isEmpty() ? QStringLiteral("no answer") : lastError()));
            return;
        }
        m_pollTimer.start();
        return;
    }
    m_statusFailures = 0;
    if (m_status == RunningStatus) {
        m_pollTimer.start();
        return;
    }
    if (!request(QStringLiteral("result"))) {
        finish(false, lastError().isEmpty() ? QStringLiteral("Foil health result not read") : lastError());
        return;
    }
    emit testFinished(true);
}

void DevicePropertyFoilh::finish(bool ok, const QString& failure)
{
    m_pollTimer.stop();
    m_testState = ok ? TestState::Done : TestState::Failed;
    m_failure = failure;
    notifyChanged();
    emit testFinished(ok);
}

QString DevicePropertyFoilh::execute(CVNEntityContext& context)
{
    const QStringList& words = context.arguments;
    if (words.size() != 1 || !kWords.contains(words.first()))
        return QStringLiteral("Invalid arguments");
    const QString word = words.first();
    if (word == QLatin1String("start"))
        (void)startTest();
    else if (word == QLatin1String("stop"))
        stopTest();
    else
        (void)request(word);
    if (requestState() == Idle && !lastError().isEmpty())
        return lastError();
    return word;
}

void DevicePropertyFoilh::setValue(const QJsonValue& value)
{
    CVNEntityContext context;
    context.arguments = QStringList{value.toString()};
    (void)execute(context);
}

QJsonValue DevicePropertyFoilh::value()
{
    return cachedJson();
}

QJsonValue DevicePropertyFoilh::cachedJson() const
{
    QJsonObject object{
        {QStringLiteral("size"),
         QJsonObject{{QStringLiteral("width"), m_analysis.columns.size()}, {QStringLiteral("height"), m_analysis.rows.size()}}},
        {QStringLiteral("damaged_cols"), toArray(m_analysis.damagedColumns())},
        {QStringLiteral("damaged_rows"), toArray(m_analysis.damagedRows())},
        {QStringLiteral("state"), stateText(m_testState)},
    };
    if (!m_failure.isEmpty())
        object.insert(QStringLiteral("error"), m_failure);
    return object;
}

QString DevicePropertyFoilh::valueText() const
{
    return stateText(m_testState);
}

QString DevicePropertyFoilh::writeWords(const QStringList& words)
{
    (void)words;
    return QStringLiteral("Invalid arguments");
}

bool DevicePropertyFoilh::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}
