#pragma once

#include "interface/deviceproperty.h"

#include <array>

class QTransform;

// Nine numbers, row by row; exchanged with the device as a 2D transform.
class DevicePropertyMatrix3x3 : public DeviceProperty
{
public:
    using Matrix = std::array<double, 9>;

    DevicePropertyMatrix3x3(CVNDeviceInterface* interface, const QString& name, const QString& description,
                            const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("Matrix3x3"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("x1 .. x9"); }
    Matrix cachedValue() const { return m_value; }

    static Matrix fromTransform(const QTransform& transform);
    static QTransform toTransform(const Matrix& matrix);

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override;
    // A set confirmed by the device changes what depends on the matrix.
    void replyTaken(const CVNDeviceRequest& reply) override;

private:
    Matrix m_value{};
};
