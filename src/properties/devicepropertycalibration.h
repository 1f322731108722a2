#pragma once

#include "interface/deviceproperty.h"
#include "properties/calibrationmap.h"
#include "properties/calibrationzone.h"

class CVNCalibrationCommand;
class DevicePropertyBool;
class DevicePropertyEnum;
class DevicePropertyIntPair;
class DevicePropertyIntTriple;

// The geometric calibration of a controller: up to 25 zones, each a
// rectangle on the sensor's logical grid with the 3x3 transform applied to
// touches inside it. The controller stores the zones ("cmatrix" blocks, see
// CVNCalibrationExchange); four companion properties, bound by the
// description's "symbols_extra", hold the related settings: "csize" (zone
// count), "cfo" (flip X, flip Y, orientation), "cenable" (calibration in
// use) and "flogs" (logical sensor size).
//
// A write sends the whole zone list ("cclear", then every zone). A write
// that fails is an error for the caller, and the property then holds what
// the controller reports after it, never the zones it failed to store.
//
// For the touch stream: calibrationMap() is a snapshot for mapping points
// from device units to calibrated ones, isCalibrationEnabled() says whether
// the controller has the calibration switched on. Neither sends anything.
class DevicePropertyCalibration : public DeviceProperty
{
public:
    DevicePropertyCalibration(CVNDeviceInterface* interface, const QString& name, const QString& description,
                              const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("GeomCalibration"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override
    {
        return QStringLiteral("zX] [ reset | x y w h | x1 .. x9] | x y w h x1 .. x9");
    }

    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override;
    void setSymbolExtra(const QString& role, const QString& value) override;
    CVNDeviceRequest makeRequest() override;

    // The cached zones, as the controller last reported them.
    CVNCalibrationZones zones() const { return m_zones; }
    CVNCalibrationMap calibrationMap() const { return CVNCalibrationMap(m_zones); }
    // "cenable" as last read or written; false when it is not bound.
    bool isCalibrationEnabled() const;
    // Why the last write did not reach the controller; empty after a good one.
    QString lastWriteError() const { return m_writeError; }

    DevicePropertyBool* enableLink() const { return m_enable; }
    DevicePropertyIntTriple* flipOrientationLink() const { return m_flipOrientation; }
    DevicePropertyIntPair* logicalSizeLink() const { return m_logicalSize; }
    DevicePropertyEnum* zoneCountLink() const { return m_zoneCount; }

    static QString calibrationClearText() { return QStringLiteral("Calibration clear"); }
    static QString invalidZoneIndexText() { return QStringLiteral("Invalid zone index"); }
    static QString failedZoneCountText() { return QStringLiteral("Failed to reset number of zones"); }

protected:
    // Applies the edit of a text command to the cached zones; a message when
    // the words or the zone index do not fit.
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override;

private:
    // Reads the zones unless the cache holds them; false when the read failed.
    bool refreshZones();
    // Writes the cached zones and refreshes the dependants; false (the
    // reason in lastWriteError) when the controller did not take them all.
    bool commitZones();
    QString reset();
    QString editZones(const CVNCalibrationCommand& command, const QStringList& words);
    // The text for a read that failed, or empty when the cache may be shown.
    QString readFailure() const;
    // The zone count to read: "csize", limited to 1..25.
    int zoneCount() const;

    CVNCalibrationZones m_zones;
    DevicePropertyBool* m_enable = nullptr;
    DevicePropertyIntTriple* m_flipOrientation = nullptr;
    DevicePropertyIntPair* m_logicalSize = nullptr;
    DevicePropertyEnum* m_zoneCount = nullptr;
    QString m_writeError;
};
