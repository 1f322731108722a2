#pragma once

#include "touch/objectparameters.h"
#include "touch/touchparameters.h"

#include <QJsonObject>

class QSettings;

// The recognition parameters as JSON and in the settings store, with the
// same clamps as the text commands. Keys: "base-diff", "time-lock", "idle",
// "max-capture" (the factor), "max-distance-v1", "max-distance-v2",
// "point-rejection" (percent) and "angle-range-ID" ([low, high]) for every
// class id; the settings add "pressure-rejection",
// "pressure-rejection-locked" and "changed-at" (ms since the epoch).
namespace CVNORConfigValues
{

QJsonObject toJson(const CVNObjectParameters& objects, const CVNTouchParameters& touches, bool withPointRejection);
// Takes every known key of the object into the parameters. False, and
// nothing taken, when a known key holds a value of the wrong kind or no
// known key is present.
[[nodiscard]] bool fromJson(const QJsonObject& json, CVNObjectParameters* objects, CVNTouchParameters* touches);

void save(QSettings& settings, const CVNObjectParameters& objects, const CVNTouchParameters& touches, qint64 changedAt);
// Reads what save() wrote; values that are missing or do not convert keep
// what the parameters hold. False when nothing was stored.
[[nodiscard]] bool load(QSettings& settings, CVNObjectParameters* objects, CVNTouchParameters* touches, qint64* changedAt);

// The clamps: never negative (NaN is 0); the keep-alive count at least 1.
double atLeastZero(double value);
int keepAliveOf(qint64 value);
int timeLockOf(qint64 value);

} // namespace CVNORConfigValues
