#include "touch/orconfigvalues.h"

#include <QJsonArray>
#include <QSettings>
#include <QVariantList>

#include <cmath>
#include <limits>

namespace CVNORConfigValues
{

namespace
{

const QString BaseDiffKey = QStringLiteral("base-diff");
const QString TimeLockKey = QStringLiteral("time-lock");
const QString IdleKey = QStringLiteral("idle");
const QString MaxCaptureKey = QStringLiteral("max-capture");
const QString MaxDistanceV1Key = QStringLiteral("max-distance-v1");
const QString MaxDistanceV2Key = QStringLiteral("max-distance-v2");
const QString PointRejectionKey = QStringLiteral("point-rejection");
const QString PressureKey = QStringLiteral("pressure-rejection");
const QString PressureLockedKey = QStringLiteral("pressure-rejection-locked");
const QString ChangedAtKey = QStringLiteral("changed-at");
constexpr double Percent = 100.0;
constexpr double LargestWhole = 9007199254740992.0; // 2^53

QString rangeKey(int classId)
{
    return QStringLiteral("%1-%2").arg(QStringLiteral("angle-range")).arg(classId);
}

bool finiteNumber(const QJsonValue& value, double* out)
{
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return false;
    *out = value.toDouble();
    return true;
}

bool wholeNumber(const QJsonValue& value, qint64* out)
{
    double number = 0.0;
    if (!finiteNumber(value, &number) || std::floor(number) != number || std::abs(number) > LargestWhole)
        return false;
    *out = static_cast<qint64>(number);
    return true;
}

bool rangeOf(const QJsonValue& value, double* low, double* high)
{
    const QJsonArray pair = value.toArray();
    return value.isArray() && pair.size() == 2 && finiteNumber(pair.at(0), low) && finiteNumber(pair.at(1), high);
}

// A settings value as a finite number.
bool storedNumber(const QVariant& value, double* out)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!value.isValid() || !ok || !std::isfinite(number))
        return false;
    *out = number;
    return true;
}

} // namespace

double atLeastZero(double value)
{
    return std::isnan(value) || value < 0.0 ? 0.0 : value;
}

int keepAliveOf(qint64 value)
{
    return static_cast<int>(qBound<qint64>(1, value, std::numeric_limits<int>::max()));
}

int timeLockOf(qint64 value)
{
    return static_cast<int>(qBound<qint64>(0, value, std::numeric_limits<int>::max()));
}

QJsonObject toJson(const CVNObjectParameters& objects, const CVNTouchParameters& touches, bool withPointRejection)
{
    QJsonObject json{
        { BaseDiffKey, objects.baseDiff },
        { TimeLockKey, touches.timeLockMs },
        { IdleKey, touches.keepAlive },
        { MaxCaptureKey, objects.maxCapture },
        { MaxDistanceV1Key, objects.maxDistanceV1 },
        { MaxDistanceV2Key, objects.maxDistanceV2 },
    };
    if (withPointRejection)
        json.insert(PointRejectionKey, objects.pointRejection * Percent);
    for (int id : CVNObjectParameters::classIds()) {
        const CVNObjectParameters::Range range = objects.range(id);
        json.insert(rangeKey(id), QJsonArray{ range.low, range.high });
    }
    return json;
}

bool fromJson(const QJsonObject& json, CVNObjectParameters* objects, CVNTouchParameters* touches)
{
    CVNObjectParameters o = *objects;
    CVNTouchParameters t = *touches;
    bool present = false;
    const auto number = [&](const QString& key, const auto& apply) {
        if (!json.contains(key))
            return true;
        present = true;
        double value = 0.0;
        if (!finiteNumber(json.value(key), &value))
            return false;
        apply(value);
        return true;
    };
    const auto whole = [&](const QString& key, const auto& apply) {
        if (!json.contains(key))
            return true;
        present = true;
        qint64 value = 0;
        if (!wholeNumber(json.value(key), &value))
            return false;
        apply(value);
        return true;
    };
    bool ok = number(BaseDiffKey, [&](double v) { o.baseDiff = atLeastZero(v); })
        && number(MaxCaptureKey, [&](double v) { o.maxCapture = atLeastZero(v); })
        && number(MaxDistanceV1Key, [&](double v) { o.setMaxDistance(1, v); })
        && number(MaxDistanceV2Key, [&](double v) { o.setMaxDistance(2, v); })
        && number(PointRejectionKey, [&](double v) { o.pointRejection = atLeastZero(v) / Percent; })
        && whole(TimeLockKey, [&](qint64 v) { t.timeLockMs = timeLockOf(v); })
        && whole(IdleKey, [&](qint64 v) { t.keepAlive = keepAliveOf(v); });
    for (int id : CVNObjectParameters::classIds()) {
        if (!ok || !json.contains(rangeKey(id)))
            continue;
        present = true;
        double low = 0.0;
        double high = 0.0;
        ok = rangeOf(json.value(rangeKey(id)), &low, &high);
        if (ok)
            o.setRange(id, low, high);
    }
    if (!ok || !present)
        return false;
    *objects = o;
    *touches = t;
    return true;
}

void save(QSettings& settings, const CVNObjectParameters& objects, const CVNTouchParameters& touches, qint64 changedAt)
{
    const QJsonObject json = toJson(objects, touches, true);
    for (auto it = json.begin(); it != json.end(); ++it)
        settings.setValue(it.key(), it.value().toVariant());
    settings.setValue(PressureKey, touches.pressureThreshold);
    settings.setValue(PressureLockedKey, touches.pressureRejectsLocked);
    settings.setValue(ChangedAtKey, changedAt);
}

bool load(QSettings& settings, CVNObjectParameters* objects, CVNTouchParameters* touches, qint64* changedAt)
{
    bool ok = false;
    *changedAt = settings.value(ChangedAtKey).toLongLong(&ok);
    if (!ok)
        return false;
    double number = 0.0;
    const auto read = [&](const QString& key) { return storedNumber(settings.value(key), &number); };
    if (read(BaseDiffKey))
        objects->baseDiff = atLeastZero(number);
    if (read(MaxCaptureKey))
        objects->maxCapture = atLeastZero(number);
    if (read(MaxDistanceV1Key))
        objects->setMaxDistance(1, number);
    if (read(MaxDistanceV2Key))
        objects->setMaxDistance(2, number);
    if (read(PointRejectionKey))
        objects->pointRejection = atLeastZero(number) / Percent;
    if (read(TimeLockKey) && std::abs(number) <= LargestWhole)
        touches->timeLockMs = timeLockOf(static_cast<qint64>(number));
    if (read(IdleKey) && std::abs(number) <= LargestWhole)
        touches->keepAlive = keepAliveOf(static_cast<qint64>(number));
    if (read(PressureKey) && number >= 0.0 && number <= std::numeric_limits<unsigned>::max())
        touches->pressureThreshold = static_cast<unsigned>(number);
    const QVariant locked = settings.value(PressureLockedKey);
    if (locked.isValid())
        touches->pressureRejectsLocked = locked.toBool();
    for (int id : CVNObjectParameters::classIds()) {
        const QVariantList pair = settings.value(rangeKey(id)).toList();
        double low = 0.0;
        double high = 0.0;
        if (pair.size() == 2 && storedNumber(pair.at(0), &low) && storedNumber(pair.at(1), &high))
            objects->setRange(id, low, high);
    }
    return true;
}

} // namespace CVNORConfigValues
