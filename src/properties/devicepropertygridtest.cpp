#include "properties/devicepropertygridtest.h"

#include "device/devicehid.h"
#include "device/hidexchanges.h"
#include "interface/deviceinterface.h"
#include "interface/devicepropertyenum.h"
#include "interface/devicepropertynumber.h"
#include "properties/companion.h"
#include "properties/devicepropertyframe.h"
#include "properties/sensorlog.h"

#include <QJsonArray>
#include <QJsonObject>

namespace
{

const QString kRaw = QStringLiteral("raw");

QJsonArray toArray(const QVector<int>& numbers)
{
    QJsonArray array;
    for (int n : numbers)
        array.append(n);
    return array;
}

QString numbersText(const QVector<int>& numbers)
{
    QString text;
    for (int n : numbers)
        text += QString::number(n) + QLatin1Char(' ');
    return text;
}

// A fresh reading: the cache is not trusted, the device is asked.
bool readNow(DeviceProperty* property, QJsonValue* value)
{
    property->setRequestState(DeviceProperty::Idle);
    *value = property->value();
    return property->requestState() == DeviceProperty::ReplyReceived;
}

} // namespace

DevicePropertyGridTest::DevicePropertyGridTest(CVNDeviceInterface* interface, const QString& name,
                                               const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
    , m_device(interface ? interface->device() : nullptr)
{
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(DefaultFrameWaitMs);
    connect(&m_watchdog, &QTimer::timeout, this, &DevicePropertyGridTest::framesStopped);
}

DevicePropertyGridTest::~DevicePropertyGridTest()
{
    m_watchdog.stop();
    stopWatching();
    const QList<DeviceProperty*> linked = {m_gain, m_capmode, m_fmode};
    for (DeviceProperty* property : linked) {
        if (property)
            property->removeObserver(this);
    }
    if (m_saved)
        restoreDirectly();
}

void DevicePropertyGridTest::setFrameWaitMs(int ms)
{
    m_watchdog.setInterval(qMax(DevicePropertyFrame::PollIntervalMs, ms));
}

void DevicePropertyGridTest::setSymbolExtra(const QString& role, const QString& value)
{
    CVNDeviceInterface* iface = deviceInterface();
    // Each link is watched so that it is never used after it went away.
    DeviceProperty* linked = nullptr;
    if (role == QLatin1String("frame")) {
        m_frame = CVNCompanion::find<DevicePropertyFrame>(iface, value);
        return;
    }
    if (role == QLatin1String("gain")) {
        m_gain = CVNCompanion::find<DevicePropertyNumberTemplate<int>>(iface, value);
        linked = m_gain;
        m_gainWord = value;
    } else if (role == QLatin1String("capmode")) {
        m_capmode = CVNCompanion::find<DevicePropertyNumberTemplate<int>>(iface, value);
        linked = m_capmode;
        m_capmodeWord = value;
    } else if (role == QLatin1String("fmode")) {
        m_fmode = CVNCompanion::find<DevicePropertyEnum>(iface, value);
        linked = m_fmode;
        m_fmodeWord = value;
    }
    if (linked)
        linked->addObserver(this);
}

void DevicePropertyGridTest::propertyChanged(CVNProperty* property)
{
    if (m_state != TestState::Running || !m_frame || property != static_cast<CVNProperty*>(m_frame))
        return;
    ++m_frames;
    m_watchdog.start();
    if (m_frames < FrameCount)
        return;
    m_watchdog.stop();
    const QByteArray bytes = m_frame->frameBytes();
    m_size = m_frame->frameSize();
    stopWatching();
    m_analysis = CVNLineAnalysis::ofFrame(bytes, m_size.width(), m_size.height());
    if (!restoreSensorSettings()) {
        finish(false, QStringLiteral("gain, capmode and fmode could not be restored"));
        return;
    }
    finish(true, QString());
}

void DevicePropertyGridTest::propertyDestroyed(CVNProperty* property)
{
    if (property == static_cast<CVNProperty*>(m_frame)) {
        m_frame = nullptr;
        m_watchingFrame = false;
    }
    if (property == static_cast<CVNProperty*>(m_gain))
        m_gain = nullptr;
    if (property == static_cast<CVNProperty*>(m_capmode))
        m_capmode = nullptr;
    if (property == static_cast<CVNProperty*>(m_fmode))
        m_fmode = nullptr;
}

void DevicePropertyGridTest::stopWatching()
{
    // Only while watching is the frame known to be there: it tells its
    // observers when it goes.
    if (m_frame && m_watchingFrame)
        m_frame->removeObserver(this);
    m_watchingFrame = false;
}

bool DevicePropertyGridTest::startTest()
{
    if (m_state == TestState::Running)
        return true;
    if (!m_frame || m_frame->frameSize().isEmpty() || !m_frame->isUsable())
        return false;
    m_failure.clear();
    if (!m_gain || !m_capmode || !m_fmode) {
        m_failure = QStringLiteral("gain, capmode or fmode missing");
        return false;
    }
    if (!saveSensorSettings()) {
        m_failure = QStringLiteral("gain, capmode and fmode could not be read");
        return false;
    }
    if (!applyTestSettings()) {
        const bool restored = restoreSensorSettings();
        m_failure = restored ? QStringLiteral("the test settings were not taken")
                             : QStringLiteral("the test settings were not taken; gain, capmode and fmode could not "
                                              "be restored");
        m_state = TestState::Failed;
        return false;
    }
    m_analysis = CVNLineAnalysis();
    m_frames = 0;
    m_state = TestState::Running;
    m_watchdog.start();
    m_watchingFrame = true;
    m_frame->addObserver(this);
    return true;
}

bool DevicePropertyGridTest::saveSensorSettings()
{
    QJsonValue gain;
    QJsonValue capmode;
    QJsonValue fmode;
    if (!readNow(m_gain, &gain) || !readNow(m_capmode, &capmode) || !readNow(m_fmode, &fmode))
        return false;
    m_savedGain = gain.toInt();
    m_savedCapmode = capmode.toInt();
    m_savedFmode = fmode.toString();
    m_saved = true;
    return true;
}

bool DevicePropertyGridTest::applyTestSettings()
{
    return CVNCompanion::write(m_capmode, 0) && CVNCompanion::write(m_gain, 0) && CVNCompanion::write(m_fmode, kRaw);
}

bool DevicePropertyGridTest::restoreSensorSettings()
{
    if (!m_saved)
        return true;
    // Each is tried, whatever happened to the one before.
    const bool gain = CVNCompanion::write(m_gain, m_savedGain);
    const bool capmode = CVNCompanion::write(m_capmode, m_savedCapmode);
    const bool fmode = CVNCompanion::write(m_fmode, m_savedFmode);
    if (gain && capmode && fmode) {
        m_saved = false;
        return true;
    }
    qCWarning(lcSensor).nospace() << "grid test of " << (m_device ? m_device->serialNumber() : QString())
                                  << ": could not restore gain " << m_savedGain << ", capmode " << m_savedCapmode
                                  << ", fmode " << m_savedFmode;
    m_saved = false;
    return false;
}

void DevicePropertyGridTest::restoreDirectly()
{
    m_saved = false;
    auto* hid = qobject_cast<CVNDeviceHid*>(m_device.data());
    const QList<QPair<QString, QString>> settings = {{m_gainWord, QString::number(m_savedGain)},
                                                     {m_capmodeWord, QString::number(m_savedCapmode)},
                                                     {m_fmodeWord, m_savedFmode}};
    bool restored = hid && hid->isOpen();
    for (const auto& setting : settings) {
        if (!restored)
            break;
        const QString answer = hid->sendCommand(setting.first, setting.second, true);
        restored = !answer.isEmpty() && !CVNHidExchanges::isErrorAnswer(answer);
    }
    if (!restored)
        qCWarning(lcSensor).nospace() << "grid test ended with its device: could not restore gain " << m_savedGain
                                      << ", capmode " << m_savedCapmode << ", fmode " << m_savedFmode;
}

void DevicePropertyGridTest::stopTest()
{
    if (m_state != TestState::Running)
        return;
    m_watchdog.stop();
    stopWatching();
    const bool restored = restoreSensorSettings();
    finish(false, restored ? QStringLiteral("Grid test stopped; gain, capmode and fmode restored")
                           : QStringLiteral("Grid test stopped; gain, capmode and fmode could not be restored"));
}

void DevicePropertyGridTest::framesStopped()
{
    if (m_state != TestState::Running)
        return;
    stopWatching();
    const bool restored = restoreSensorSettings();
    QString failure = QStringLiteral("no frame for %1 ms after %2 of %3 frames").arg(frameWaitMs()).arg(m_frames).arg(FrameCount);
    failure += restored ? QStringLiteral("; gain, capmode and fmode restored")
                        : QStringLiteral("; gain, capmode and fmode could not be restored");
    finish(false, failure);
}

void DevicePropertyGridTest::finish(bool ok, const QString& failure)
{
    m_state = ok ? TestState::Done : TestState::Failed;
    m_failure = failure;
    m_frames = 0;
    setRequestState(ReplyReceived);
    notifyChanged();
    emit testFinished(ok);
}

QString DevicePropertyGridTest::stateText(TestState state)
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

QString DevicePropertyGridTest::statusText() const
{
    switch (m_state) {
    case TestState::Idle:
        return QStringLiteral("Please start the test first");
    case TestState::Running:
        return QStringLiteral("Grid Test running");
    case TestState::Failed:
        if (m_analysis.isEmpty())
            return QStringLiteral("Grid Test failed: ") + m_failure;
        break;
    case TestState::Done:
        break;
    }
    const QVector<int> columns = m_analysis.damagedColumns();
    const QVector<int> rows = m_analysis.damagedRows();
    QString text;
    if (!columns.isEmpty())
        text += QStringLiteral("Damaged Cols: ") + numbersText(columns);
    if (!rows.isEmpty())
        text += QStringLiteral("Damaged Rows: ") + numbersText(rows);
    if (text.isEmpty())
        text = QStringLiteral("Rows: OK, Cols: OK");
    if (m_state == TestState::Failed)
        text += QStringLiteral(" (") + m_failure + QLatin1Char(')');
    return text;
}

QString DevicePropertyGridTest::execute(CVNEntityContext& context)
{
    const QStringList& words = context.arguments;
    if (words.size() == 1 && words.first() == QLatin1String("start")) {
        if (startTest())
            return QStringLiteral("Grid Test started");
        return m_failure.isEmpty() ? QStringLiteral("Grid Test not started: no frame size")
                                   : QStringLiteral("Grid Test not started: ") + m_failure;
    }
    if (words.size() == 1 && words.first() == QLatin1String("status"))
        return statusText();
    return QStringLiteral("Invalid arguments");
}

void DevicePropertyGridTest::setValue(const QJsonValue& value)
{
    if (value.toObject().value(QStringLiteral("action")).toString() == QLatin1String("init"))
        (void)startTest();
}

QJsonValue DevicePropertyGridTest::value()
{
    return cachedJson();
}

QJsonValue DevicePropertyGridTest::cachedJson() const
{
    QJsonObject object{
        {QStringLiteral("size"),
         QJsonObject{{QStringLiteral("width"), m_size.width()}, {QStringLiteral("height"), m_size.height()}}},
        {QStringLiteral("damaged_cols"), toArray(m_analysis.damagedColumns())},
        {QStringLiteral("damaged_rows"), toArray(m_analysis.damagedRows())},
        {QStringLiteral("state"), stateText(m_state)},
    };
    if (!m_failure.isEmpty())
        object.insert(QStringLiteral("error"), m_failure);
    return object;
}

QString DevicePropertyGridTest::writeWords(const QStringList& words)
{
    (void)words;
    return QStringLiteral("Invalid arguments");
}

bool DevicePropertyGridTest::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}
