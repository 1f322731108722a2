#include "touch/orconfig.h"

#include "interface/deviceinterface.h"
#include "touch/devicepropertytouches.h"
#include "touch/objectparameters.h"
#include "touch/orconfigvalues.h"
#include "touch/touchparameters.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QSettings>

#include <cmath>

namespace
{

constexpr double Percent = 100.0;

// When the parameters in force were written (ms since the epoch): settings
// stored earlier than that, by another controller, do not replace them.
qint64& appliedStamp()
{
    static qint64 stamp = 0;
    return stamp;
}

qint64 nextStamp()
{
    appliedStamp() = qMax(QDateTime::currentMSecsSinceEpoch(), appliedStamp() + 1);
    return appliedStamp();
}

bool parseNumber(const QString& text, double* out)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return false;
    *out = value;
    return true;
}

bool parseWhole(const QString& text, qint64* out)
{
    bool ok = false;
    *out = text.toLongLong(&ok, 10);
    return ok;
}

bool parseFlag(const QString& text, bool* out)
{
    const QString lower = text.toLower();
    if (lower == QLatin1String("1") || lower == QLatin1String("true") || lower == QLatin1String("yes"))
        *out = true;
    else if (lower == QLatin1String("0") || lower == QLatin1String("false") || lower == QLatin1String("no"))
        *out = false;
    else
        return false;
    return true;
}

QString number(double value)
{
    return QString::number(value);
}

} // namespace

ORConfig::ORConfig(CVNDeviceInterface* interface, const QString& name, const QString& description,
                   const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
    // Nothing to read from the controller: the value is always at hand.
    setRequestState(ReplyReceived);
}

QString ORConfig::argumentHint() const
{
    return QStringLiteral("angle-range type [float float] | base-diff [float] | time-lock [int] | idle [int] | "
                          "max-distance [float] | point-rejection [float] | pressure-rejection [int] | "
                          "pressure-rejection-locked [bool] | max-capture [float] | default");
}

DevicePropertyTouches* ORConfig::touchesLink() const
{
    CVNDeviceInterface* interface = deviceInterface();
    return interface ? dynamic_cast<DevicePropertyTouches*>(interface->entity(QStringLiteral("touches"))) : nullptr;
}

const ORConfig::Command* ORConfig::findCommand(const QString& name)
{
    static const Command commands[] = {
        { "time-lock", &ORConfig::timeLock, false },
        { "pressure-rejection", &ORConfig::pressureRejection, false },
        { "pressure-rejection-locked", &ORConfig::pressureRejectionLocked, false },
        { "angle-range", &ORConfig::angleRange, true },
        { "max-distance", &ORConfig::maxDistance, true },
        { "point-rejection", &ORConfig::pointRejection, true },
        { "max-capture", &ORConfig::maxCapture, true },
        { "idle", &ORConfig::idle, true },
        { "base-diff", &ORConfig::baseDiff, true },
    };
    for (const Command& command : commands) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

QString ORConfig::execute(CVNEntityContext& context)
{
    const Reply reply = run(context.arguments);
    context.failed = context.failed || reply.failed;
    return reply.text;
}

ORConfig::Reply ORConfig::run(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return { invalidArgumentsText(), true };
    const QString& name = arguments.first();
    const QStringList values = arguments.mid(1);
    if (name == QLatin1String("default")) {
        if (!values.isEmpty())
            return { invalidArgumentsText(), true };
        if (!isWritable())
            return { notWritableText(), true };
        commit(CVNObjectParameters(), CVNTouchParameters());
        return { defaultsAppliedText(), false };
    }
    const Command* command = findCommand(name);
    if (!command)
        return { invalidArgumentsText(), true };
    if (command->needsRecognition) {
        const DevicePropertyTouches* touches = touchesLink();
        if (!touches)
            return { noTouchesText(), true };
        if (touches->orSpec() != 1 && touches->orSpec() != 2)
            return { recognitionDisabledText(), true };
    }
    return (this->*command->handler)(values);
}

QString ORConfig::refusal(const QStringList& values) const
{
    if (values.size() > 1)
        return invalidArgumentsText();
    if (!values.isEmpty() && !isWritable())
        return notWritableText();
    return QString();
}

void ORConfig::commit(const CVNObjectParameters& objects, const CVNTouchParameters& touches)
{
    CVNObjectParameters::setCurrent(objects);
    CVNTouchParameters::setCurrent(touches);
    (void)nextStamp();
    store();
}

ORConfig::Reply ORConfig::single(const QStringList& values, const std::function<bool(const QString&)>& assign,
                                 const std::function<QString()>& text)
{
    const QString why = refusal(values);
    if (!why.isEmpty())
        return { why, true };
    if (!values.isEmpty() && !assign(values.first()))
        return { invalidParameterText(), true };
    return { text() };
}

void ORConfig::commitTouches(const std::function<void(CVNTouchParameters&)>& change)
{
    CVNTouchParameters touches = CVNTouchParameters::current();
    change(touches);
    commit(CVNObjectParameters::current(), touches);
}

void ORConfig::commitObjects(const std::function<void(CVNObjectParameters&)>& change)
{
    CVNObjectParameters objects = CVNObjectParameters::current();
    change(objects);
    commit(objects, CVNTouchParameters::current());
}

ORConfig::Reply ORConfig::timeLock(const QStringList& values)
{
    return single(
        values,
        [this](const QString& word) {
            qint64 ms = 0;
            if (!parseWhole(word, &ms))
                return false;
            commitTouches([ms](CVNTouchParameters& touches) { touches.timeLockMs = CVNORConfigValues::timeLockOf(ms); });
            return true;
        },
        [] { return QStringLiteral("time-lock: %1ms").arg(CVNTouchParameters::current().timeLockMs); });
}

ORConfig::Reply ORConfig::idle(const QStringList& values)
{
    return single(
        values,
        [this](const QString& word) {
            qint64 count = 0;
            if (!parseWhole(word, &count))
                return false;
            commitTouches([count](CVNTouchParameters& touches) { touches.keepAlive = CVNORConfigValues::keepAliveOf(count); });
            return true;
        },
        [] { return QStringLiteral("idle: %1").arg(CVNTouchParameters::current().keepAlive); });
}

ORConfig::Reply ORConfig::pressureRejection(const QStringList& values)
{
    return single(
        values,
        [this](const QString& word) {
            bool ok = false;
            const uint threshold = word.toUInt(&ok, 10);
            if (ok)
                commitTouches([threshold](CVNTouchParameters& touches) { touches.pressureThreshold = threshold; });
            return ok;
        },
        [] { return QStringLiteral("pressure-rejection: %1").arg(CVNTouchParameters::current().pressureThreshold); });
}

ORConfig::Reply ORConfig::pressureRejectionLocked(const QStringList& values)
{
    return single(
        values,
        [this](const QString& word) {
            bool flag = false;
            if (!parseFlag(word, &flag))
                return false;
            commitTouches([flag](CVNTouchParameters& touches) { touches.pressureRejectsLocked = flag; });
            return true;
        },
        [] {
            return QStringLiteral("pressure-rejection-locked: %1")
                .arg(CVNTouchParameters::current().pressureRejectsLocked ? QStringLiteral("true") : QStringLiteral("false"));
        });
}

ORConfig::Reply ORConfig::angleRange(const QStringList& values)
{
    if (values.isEmpty())
        return { noObjectIdText(), true };
    bool ok = false;
    const int id = values.first().toInt(&ok, 10);
    if (!ok)
        return { invalidParameterText(), true };
    if (CVNObjectParameters::classIndex(id) < 0)
        return { unsupportedClassText(), true };
    if (values.size() != 1 && values.size() != 3)
        return { invalidArgumentsText(), true };
    if (values.size() == 3) {
        if (!isWritable())
            return { notWritableText(), true };
        double low = 0.0;
        double high = 0.0;
        if (!parseNumber(values.at(1), &low) || !parseNumber(values.at(2), &high))
            return { invalidParameterText(), true };
        CVNObjectParameters objects = CVNObjectParameters::current();
        objects.setRange(id, low, high);
        commit(objects, CVNTouchParameters::current());
    }
    const CVNObjectParameters::Range range = CVNObjectParameters::current().range(id);
    return { QStringLiteral("%1: %2 (%3, %4) degrees")
                 .arg(QStringLiteral("angle-range"), QString::number(id), number(range.low), number(range.high)) };
}

// A number of degrees or percent, or a distance, into the object parameters.
ORConfig::Reply ORConfig::objectNumber(const QStringList& values,
                                       const std::function<void(CVNObjectParameters&, double)>& set,
                                       const std::function<QString()>& text)
{
    return single(
        values,
        [this, &set](const QString& word) {
            double number = 0.0;
            if (!parseNumber(word, &number))
                return false;
            commitObjects([&set, number](CVNObjectParameters& objects) { set(objects, number); });
            return true;
        },
        text);
}

ORConfig::Reply ORConfig::baseDiff(const QStringList& values)
{
    return objectNumber(
        values,
        [](CVNObjectParameters& objects, double degrees) { objects.baseDiff = CVNORConfigValues::atLeastZero(degrees); },
        [] { return QStringLiteral("base-diff: %1 degrees").arg(number(CVNObjectParameters::current().baseDiff)); });
}

ORConfig::Reply ORConfig::maxDistance(const QStringList& values)
{
    const int orSpec = touchesLink()->orSpec();
    return objectNumber(
        values,
        [orSpec](CVNObjectParameters& objects, double distance) { objects.setMaxDistance(orSpec, distance); },
        [orSpec] {
            return QStringLiteral("max-distance: %1").arg(number(CVNObjectParameters::current().maxDistance(orSpec)));
        });
}

ORConfig::Reply ORConfig::pointRejection(const QStringList& values)
{
    return objectNumber(
        values,
        [](CVNObjectParameters& objects, double percent) {
            objects.pointRejection = CVNORConfigValues::atLeastZero(percent) / Percent;
        },
        [] {
            return QStringLiteral("point-rejection: %1% of radius")
                .arg(number(CVNObjectParameters::current().pointRejection * Percent));
        });
}

ORConfig::Reply ORConfig::maxCapture(const QStringList& values)
{
    return objectNumber(
        values,
        [](CVNObjectParameters& objects, double percent) {
            objects.maxCapture = CVNORConfigValues::atLeastZero(percent) / Percent;
        },
        [] {
            return QStringLiteral("max-capture: %1% of points max distance")
                .arg(number(CVNObjectParameters::current().maxCapture * Percent));
        });
}

void ORConfig::setValue(const QJsonValue& value)
{
    if (!isWritable()) {
        refuseWrite(notWritableText());
        return;
    }
    if (!assignJson(value))
        refuseWrite(invalidArgumentText());
}

bool ORConfig::assignJson(const QJsonValue& value)
{
    CVNObjectParameters objects = CVNObjectParameters::current();
    CVNTouchParameters touches = CVNTouchParameters::current();
    if (!value.isObject() || !CVNORConfigValues::fromJson(value.toObject(), &objects, &touches))
        return false;
    commit(objects, touches);
    return true;
}

QString ORConfig::writeWords(const QStringList& words)
{
    (void)words;
    return invalidArgumentsText();
}

QJsonValue ORConfig::cachedJson() const
{
    return CVNORConfigValues::toJson(CVNObjectParameters::current(), CVNTouchParameters::current(),
                                     touchesLink() != nullptr);
}

QString ORConfig::valueText() const
{
    return QString::fromUtf8(QJsonDocument(cachedJson().toObject()).toJson(QJsonDocument::Compact));
}

void ORConfig::saveSettings(QSettings& settings)
{
    settings.beginGroup(name());
    CVNORConfigValues::save(settings, CVNObjectParameters::current(), CVNTouchParameters::current(), appliedStamp());
    settings.endGroup();
}

void ORConfig::loadSettings(QSettings& settings)
{
    CVNObjectParameters objects = CVNObjectParameters::current();
    CVNTouchParameters touches = CVNTouchParameters::current();
    qint64 changedAt = 0;
    settings.beginGroup(name());
    const bool stored = CVNORConfigValues::load(settings, &objects, &touches, &changedAt);
    settings.endGroup();
    // What another controller stored later, or what was set since, stays in force.
    if (!stored || changedAt <= appliedStamp())
        return;
    CVNObjectParameters::setCurrent(objects);
    CVNTouchParameters::setCurrent(touches);
    appliedStamp() = changedAt;
}
