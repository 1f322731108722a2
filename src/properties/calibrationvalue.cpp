#include "properties/calibrationvalue.h"

#include <QJsonArray>

#include <cmath>
#include <limits>

namespace
{

const QString kFlipX = QStringLiteral("flipX");
const QString kFlipY = QStringLiteral("flipY");
const QString kOrientation = QStringLiteral("orientation");
const QString kZones = QStringLiteral("zones_buffer");
const QString kTransform = QStringLiteral("transform");
const QString kRectangle = QStringLiteral("rectangle");
const QString kOrigin = QStringLiteral("origin");
const QString kSize = QStringLiteral("size");

QString invalid(const QString& detail)
{
    return QStringLiteral("Invalid argument: ") + detail;
}

// An absent key counts as 0; a present one must be a whole number in int range.
bool integerMember(const QJsonObject& object, const QString& key, int* out, QString* error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined()) {
        *out = 0;
        return true;
    }
    const double number = value.toDouble(0.5);
    if (!value.isDouble() || number != std::trunc(number) || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max()) {
        *error = invalid(QStringLiteral("%1 is not an integer").arg(key));
        return false;
    }
    *out = int(number);
    return true;
}

// An absent key counts as an empty object.
bool objectMember(const QJsonObject& object, const QString& key, QJsonObject* out, QString* error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined()) {
        *out = QJsonObject();
        return true;
    }
    if (!value.isObject()) {
        *error = invalid(QStringLiteral("%1 is not an object").arg(key));
        return false;
    }
    *out = value.toObject();
    return true;
}

bool readTransform(const QJsonObject& zone, QTransform* transform, QString* error)
{
    const QJsonValue value = zone.value(kTransform);
    QVector<double> entries(9, 0.0);
    if (!value.isUndefined()) {
        const QJsonArray array = value.toArray();
        if (!value.isArray() || array.size() != 9) {
            *error = invalid(QStringLiteral("transform must hold nine numbers"));
            return false;
        }
        for (int i = 0; i < 9; ++i) {
            if (!array.at(i).isDouble()) {
                *error = invalid(QStringLiteral("transform must hold nine numbers"));
                return false;
            }
            entries[i] = array.at(i).toDouble();
        }
    }
    *transform = calibrationMatrixFromEntries(entries);
    if (!CVNCalibrationZone::isStorableMatrix(*transform)) {
        *error = invalid(QStringLiteral("transform entry out of range"));
        return false;
    }
    return true;
}

bool readRectangle(const QJsonObject& zone, QRect* rectangle, QString* error)
{
    QJsonObject object;
    QJsonObject origin;
    QJsonObject size;
    int numbers[4] = {};
    if (!objectMember(zone, kRectangle, &object, error) || !objectMember(object, kOrigin, &origin, error)
        || !objectMember(object, kSize, &size, error)
        || !integerMember(origin, QStringLiteral("x"), &numbers[0], error)
        || !integerMember(origin, QStringLiteral("y"), &numbers[1], error)
        || !integerMember(size, QStringLiteral("width"), &numbers[2], error)
        || !integerMember(size, QStringLiteral("height"), &numbers[3], error))
        return false;
    if (!CVNCalibrationZone::storableRectangle(numbers[0], numbers[1], numbers[2], numbers[3], rectangle)) {
        *error = invalid(QStringLiteral("rectangle is empty or outside 0..65535"));
        return false;
    }
    return true;
}

} // namespace

QJsonObject CVNCalibrationValue::zoneToJson(const CVNCalibrationZone& zone)
{
    QJsonArray transform;
    for (double entry : calibrationMatrixEntries(zone.transform))
        transform.append(entry);
    const QRect& r = zone.rectangle;
    const QJsonObject rectangle{
        {kOrigin, QJsonObject{{QStringLiteral("x"), r.x()}, {QStringLiteral("y"), r.y()}}},
        {kSize, QJsonObject{{QStringLiteral("width"), r.width()}, {QStringLiteral("height"), r.height()}}},
    };
    return QJsonObject{{kTransform, transform}, {kRectangle, rectangle}};
}

QJsonObject CVNCalibrationValue::toJson() const
{
    QJsonArray buffer;
    for (const CVNCalibrationZone& zone : zones)
        buffer.append(zoneToJson(zone));
    return QJsonObject{{kFlipX, flipX}, {kFlipY, flipY}, {kOrientation, orientation}, {kZones, buffer}};
}

bool CVNCalibrationValue::fromJson(const QJsonValue& value, CVNCalibrationValue* out, QString* error)
{
    if (!value.isObject()) {
        *error = invalid(QStringLiteral("the calibration is an object"));
        return false;
    }
    const QJsonObject object = value.toObject();
    CVNCalibrationValue parsed;
    if (!integerMember(object, kFlipX, &parsed.flipX, error) || !integerMember(object, kFlipY, &parsed.flipY, error)
        || !integerMember(object, kOrientation, &parsed.orientation, error))
        return false;
    const QJsonValue buffer = object.value(kZones);
    if (!buffer.isArray()) {
        *error = invalid(QStringLiteral("zones_buffer must be an array"));
        return false;
    }
    const QJsonArray zones = buffer.toArray();
    if (zones.size() > CVNCalibrationZone::MaxZones) {
        *error = invalid(QStringLiteral("more than %1 zones").arg(CVNCalibrationZone::MaxZones));
        return false;
    }
    for (const QJsonValue& element : zones) {
        if (!element.isObject()) {
            *error = invalid(QStringLiteral("a zone is not an object"));
            return false;
        }
        CVNCalibrationZone zone;
        if (!readTransform(element.toObject(), &zone.transform, error)
            || !readRectangle(element.toObject(), &zone.rectangle, error))
            return false;
        parsed.zones.append(zone);
    }
    *out = parsed;
    return true;
}
