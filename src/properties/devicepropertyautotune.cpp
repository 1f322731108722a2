#include "properties/devicepropertyautotune.h"

#include "device/device.h"
#include "interface/deviceinterface.h"
#include "interface/devicepropertyenum.h"
#include "properties/companion.h"
#include "properties/directcommand.h"
#include "properties/sensorlog.h"

#include <QJsonObject>

namespace
{
const QString kStart = QStringLiteral("start");
const QString kStop = QStringLiteral("stop");
const QString kInvalidArguments = QStringLiteral("Invalid arguments");
} // namespace

DevicePropertyAutoTune::DevicePropertyAutoTune(CVNDeviceInterface* interface, const QString& name,
                                               const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
    , m_device(interface ? interface->device() : nullptr)
{
    m_pollTimer.setInterval(DefaultPollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &DevicePropertyAutoTune::queryProcessStatus);
}

DevicePropertyAutoTune::~DevicePropertyAutoTune()
{
    if (m_dtune)
        m_dtune->removeObserver(this);
    // A run being followed when the service lets go of the controller does
    // not go on changing its settings unwatched.
    if (m_pollTimer.isActive() && !CVNDirectCommand::send(m_device, m_dtuneWord, kStop))
        qCWarning(lcSensor) << "auto-tune ended with its device: the controller could not be told to stop";
}

void DevicePropertyAutoTune::setSymbolExtra(const QString& role, const QString& value)
{
    if (role != QLatin1String("dtune"))
        return;
    if (m_dtune)
        m_dtune->removeObserver(this);
    m_dtune = CVNCompanion::find<DevicePropertyEnum>(deviceInterface(), value);
    m_dtuneWord = m_dtune ? m_dtune->command() : QString();
    // Watched only to learn when it goes.
    if (m_dtune)
        m_dtune->addObserver(this);
}

void DevicePropertyAutoTune::propertyDestroyed(CVNProperty* property)
{
    if (property != static_cast<CVNProperty*>(m_dtune))
        return;
    m_dtune = nullptr;
    if (m_pollTimer.isActive())
        giveUp(QStringLiteral("dtune is gone"));
}

void DevicePropertyAutoTune::setPollInterval(int ms)
{
    m_pollTimer.setInterval(qMax(1, ms));
}

bool DevicePropertyAutoTune::start()
{
    m_failure.clear();
    m_lastText.clear();
    m_unreadable = 0;
    m_unrecognised = 0;
    if (!CVNCompanion::write(m_dtune, kStart)) {
        m_pollTimer.stop();
        m_tracker.end(CVNTuneStates::Fail);
        m_failure = QStringLiteral("the controller did not start its auto-tune");
        if (m_dtune && !m_dtune->lastError().isEmpty())
            m_failure += QStringLiteral(": ") + m_dtune->lastError();
        notifyChanged();
        return false;
    }
    m_tracker.start();
    m_runClock.start();
    m_pollTimer.start();
    notifyChanged();
    return true;
}

void DevicePropertyAutoTune::stop()
{
    const bool wasRunning = m_pollTimer.isActive();
    m_pollTimer.stop();
    (void)CVNCompanion::write(m_dtune, kStop);
    const int state = tuneState();
    if (wasRunning || state == CVNTuneStates::GainNoise || state == CVNTuneStates::GainTouch) {
        m_tracker.end(CVNTuneStates::Stopped);
        notifyChanged();
    }
}

void DevicePropertyAutoTune::giveUp(const QString& reason)
{
    m_pollTimer.stop();
    qCWarning(lcSensor) << "auto-tune given up:" << reason;
    (void)CVNCompanion::write(m_dtune, kStop);
    m_failure = reason;
    m_tracker.end(CVNTuneStates::Fail);
    notifyChanged();
}

bool DevicePropertyAutoTune::readProgress(QString* text)
{
    if (!m_dtune)
        return false;
    // "dtune" is mutable: every read asks the controller.
    const QJsonValue value = m_dtune->value();
    if (m_dtune->requestState() != ReplyReceived)
        return false;
    *text = value.toString();
    return true;
}

void DevicePropertyAutoTune::queryProcessStatus()
{
    if (!m_pollTimer.isActive())
        return;
    if (m_runClock.elapsed() > m_maxRunMs) {
        giveUp(QStringLiteral("the auto-tune did not end within %1 s").arg(m_maxRunMs / 1000.0));
        return;
    }
    QString text;
    if (!readProgress(&text)) {
        if (++m_unreadable >= MaxUnreadablePolls)
            giveUp(QStringLiteral("the auto-tune progress could not be read: %1")
                       .arg(m_dtune && !m_dtune->lastError().isEmpty() ? m_dtune->lastError()
                                                                       : QStringLiteral("no answer")));
        return;
    }
    m_unreadable = 0;
    m_lastText = text;
    const CVNTuneProgress progress = CVNTuneProgress::parse(text);
    if (progress.kind == CVNTuneProgress::Kind::Unrecognised) {
        if (++m_unrecognised >= MaxUnrecognisedPolls)
            giveUp(QStringLiteral("the controller's auto-tune progress makes no sense: \"%1\"").arg(text.left(64)));
        return;
    }
    m_unrecognised = 0;
    const CVNTuneTracker::Outcome outcome = m_tracker.apply(progress);
    if (outcome.finished)
        m_pollTimer.stop();
    if (progress.kind == CVNTuneProgress::Kind::Done && tuneState() == CVNTuneStates::Fail)
        m_failure = QStringLiteral("the auto-tune ended with %1 values instead of %2: \"%3\"")
                        .arg(progress.values)
                        .arg(CVNTuneTracker::DoneValueCount)
                        .arg(text.left(64));
    else if (progress.kind == CVNTuneProgress::Kind::Fail)
        m_failure = QStringLiteral("the controller's auto-tune failed: \"%1\"").arg(text.left(64));
    if (outcome.reread)
        rereadDependencies();
    if (outcome.changed)
        notifyChanged();
}

void DevicePropertyAutoTune::rereadDependencies()
{
    for (DeviceProperty* property : dependencies()) {
        if (property == static_cast<DeviceProperty*>(m_dtune))
            continue;
        property->setRequestState(Idle);
        (void)property->value();
    }
}

QString DevicePropertyAutoTune::act(const QString& word)
{
    if (word == kStart) {
        if (m_pollTimer.isActive())
            return QStringLiteral("The auto-tune is already running");
        return start() ? QString() : m_failure;
    }
    if (word == kStop) {
        stop();
        return QString();
    }
    return kInvalidArguments;
}

QString DevicePropertyAutoTune::execute(CVNEntityContext& context)
{
    const QStringList& words = context.arguments;
    if (words.size() > 1) {
        context.failed = true;
        return kInvalidArguments;
    }
    if (words.size() == 1) {
        const QString refusal = act(words.first());
        if (!refusal.isEmpty()) {
            context.failed = true;
            return refusal;
        }
    }
    return valueText();
}

void DevicePropertyAutoTune::setValue(const QJsonValue& value)
{
    // Read-only as a value; the actions are what a client writes.
    const QJsonValue action = value.toObject().value(QStringLiteral("action"));
    if (!action.isString()) {
        refuseWrite(QStringLiteral("Invalid argument: {\"action\": \"start\" | \"stop\"} expected"));
        return;
    }
    const QString refusal = act(action.toString());
    if (!refusal.isEmpty())
        refuseWrite(refusal == kInvalidArguments
                        ? QStringLiteral("Unknown action \"%1\": start or stop").arg(action.toString().left(64))
                        : refusal);
}

QJsonValue DevicePropertyAutoTune::cachedJson() const
{
    QJsonObject object{
        {QStringLiteral("tune_status"), CVNTuneStates::tuneStateName(tuneState())},
        {QStringLiteral("touch_state"), CVNTuneStates::touchStateName(touchState())},
    };
    if (noiseProgress() >= 0)
        object.insert(QStringLiteral("progress"), noiseProgress());
    if (tuneState() >= CVNTuneStates::Fail && !m_failure.isEmpty())
        object.insert(QStringLiteral("error"), m_failure);
    return object;
}

QString DevicePropertyAutoTune::writeWords(const QStringList& words)
{
    (void)words;
    return kInvalidArguments;
}

bool DevicePropertyAutoTune::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}
