#pragma once

#include "interface/deviceentitybuilder.h"
#include "interface/deviceproperty.h"
#include "properties/framegeometry.h"

#include <QObject>
#include <QSize>
#include <QTimer>

class DevicePropertyEnum;
class DevicePropertyIntPair;
class DevicePropertyString;

// One raw capacitance image of the sensor ("frame"): one byte per cell, row
// by row, fetched over the HID channel and offered as a grey PNG four times
// the sensor size, Base64-encoded. While anybody observes it (and it is
// mutable) a new frame is fetched every 60 ms.
//
// Extra symbols: "info" (String: frame info text), "mode" (Enum: frame
// mode), "size" (IntPair: sensor grid). A binding to a property of another
// class leaves the frame unusable (logged); it never ends the service.
class DevicePropertyFrame : public QObject, public DeviceProperty
{
    Q_OBJECT
public:
    static constexpr int PollIntervalMs = 60;

    DevicePropertyFrame(CVNDeviceInterface* interface, const QString& name, const QString& description,
                        const QString& command, int accessMode);
    ~DevicePropertyFrame() override;

    static QString staticTypeName() { return QStringLiteral("Frame"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QString(); }
    QJsonObject describe() const override; // adds "size"

    QString execute(CVNEntityContext& context) override;
    // Any value asks for a new frame.
    void setValue(const QJsonValue& value) override;
    // The Base64 PNG of the last frame; null before the first. Never reads.
    QJsonValue value() override;
    void addObserver(CVNPropertyObserver* observer) override;
    void removeObserver(CVNPropertyObserver* observer) override;
    void setSymbolExtra(const QString& role, const QString& value) override;
    CVNDeviceRequest makeRequest() override;
    void handleReply(const CVNDeviceRequest& reply) override;

    // The size from the interface description, used until the device tells.
    void setFrameSize(const QSize& size);
    QSize frameSize() const { return QSize(m_geometry.width, m_geometry.height); }
    int bytesPerCell() const { return m_geometry.bytesPerCell; }
    int transferLength() const { return m_transferLength; }
    // The cells of the last frame (width x height bytes); empty before the first.
    QByteArray frameBytes() const { return m_frame; }
    bool isPolling() const { return m_timer.isActive(); }
    bool isUsable() const { return m_unusable.isEmpty(); }
    // Why the frame is not usable (a refused binding); empty when it is.
    QString unusableReason() const { return m_unusable; }

    // Reads the geometry from the bound properties and recomputes the
    // transfer length.
    void computeGeometry();

public slots:
    // Asks for a new frame, as a structured write does.
    void readValue();

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override { return m_value; }
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return QVariant(); }

private:
    void updatePolling();
    void refuseBinding(const char* message);

    CVNFrameGeometry m_geometry;
    int m_transferLength = 0;
    QTimer m_timer;
    DevicePropertyString* m_info = nullptr;
    DevicePropertyEnum* m_mode = nullptr;
    DevicePropertyIntPair* m_size = nullptr;
    QByteArray m_frame;
    QString m_value; // Base64 PNG
    QString m_unusable;
};

// "Frame": the four keys, and "size" {"width", "height"} as the frame size
// until the device tells it.
class DevicePropertyBuilderFrame : public CVNDevicePropertyBuilderTemplate2<DevicePropertyFrame>
{
protected:
    void configure(DevicePropertyFrame* property, const QJsonObject& entityJson) override;
};
