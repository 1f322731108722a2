#include "properties/devicepropertyframe.h"

#include "interface/devicepropertyenum.h"
#include "interface/devicepropertyintpair.h"
#include "interface/devicepropertystring.h"
#include "properties/companion.h"
#include "properties/framepng.h"
#include "properties/hidframeexchange.h"
#include "properties/sensorlog.h"

#include <QJsonObject>

DevicePropertyFrame::DevicePropertyFrame(CVNDeviceInterface* interface, const QString& name,
                                         const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
    m_timer.setInterval(PollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &DevicePropertyFrame::readValue);
}

DevicePropertyFrame::~DevicePropertyFrame()
{
    m_timer.stop();
}

QJsonObject DevicePropertyFrame::describe() const
{
    QJsonObject object = DeviceProperty::describe();
    object.insert(QStringLiteral("size"),
                  QJsonObject{{QStringLiteral("width"), m_geometry.width}, {QStringLiteral("height"), m_geometry.height}});
    return object;
}

QString DevicePropertyFrame::execute(CVNEntityContext& context)
{
    if (!isUsable())
        return m_unusable;
    return DeviceProperty::execute(context);
}

void DevicePropertyFrame::setValue(const QJsonValue& value)
{
    (void)value;
    readValue();
}

QJsonValue DevicePropertyFrame::value()
{
    return cachedJson();
}

QJsonValue DevicePropertyFrame::cachedJson() const
{
    return m_value.isEmpty() ? QJsonValue() : QJsonValue(m_value);
}

void DevicePropertyFrame::readValue()
{
    if (!isUsable())
        return;
    if (requestState() == ReplyReceived && !isMutable())
        return;
    setRequestState(DownloadRequested);
    send();
}

void DevicePropertyFrame::addObserver(CVNPropertyObserver* observer)
{
    DeviceProperty::addObserver(observer);
    updatePolling();
}

void DevicePropertyFrame::removeObserver(CVNPropertyObserver* observer)
{
    DeviceProperty::removeObserver(observer);
    updatePolling();
}

void DevicePropertyFrame::updatePolling()
{
    const bool wanted = !observers().isEmpty() && isMutable() && isUsable();
    if (wanted && !m_timer.isActive())
        m_timer.start();
    else if (!wanted && m_timer.isActive())
        m_timer.stop();
}

void DevicePropertyFrame::refuseBinding(const char* message)
{
    // A fault of the interface description: this frame cannot work, the
    // rest of the device can.
    qCCritical(lcSensor) << message << "- the property" << name() << "is not usable";
    m_unusable = QStringLiteral("%1 is not usable: %2").arg(name(), QLatin1String(message));
    updatePolling();
}

void DevicePropertyFrame::setSymbolExtra(const QString& role, const QString& value)
{
    CVNDeviceInterface* iface = deviceInterface();
    const bool present = CVNCompanion::exists(iface, value);
    if (role == QLatin1String("info")) {
        m_info = CVNCompanion::find<DevicePropertyString>(iface, value);
        if (present && !m_info)
            refuseBinding("frame info insn't DevicePropertyString!");
    } else if (role == QLatin1String("mode")) {
        m_mode = CVNCompanion::find<DevicePropertyEnum>(iface, value);
        if (present && !m_mode)
            refuseBinding("frame mode isn't DevicePropertyEnum!");
    } else if (role == QLatin1String("size")) {
        m_size = CVNCompanion::find<DevicePropertyIntPair>(iface, value);
        if (present && !m_size)
            refuseBinding("Size isn't DevicePropertyIntPair!");
    }
}

void DevicePropertyFrame::setFrameSize(const QSize& size)
{
    CVNFrameGeometry geometry = m_geometry;
    geometry.width = size.width();
    geometry.height = size.height();
    if (geometry.isValid())
        m_geometry = geometry;
    else
        qCWarning(lcSensor) << "frame size out of range" << size << "for" << name();
}

void DevicePropertyFrame::computeGeometry()
{
    if (m_info) {
        int modeIndex = -1;
        if (m_mode)
            modeIndex = m_mode->values().indexOf(m_mode->value().toString());
        switch (CVNFrameGeometry::parseInfo(m_info->value().toString(), modeIndex, &m_geometry)) {
        case CVNFrameGeometry::InfoResult::Ok:
            break;
        case CVNFrameGeometry::InfoResult::Malformed:
            qCCritical(lcSensor) << "malformed frame info";
            break;
        case CVNFrameGeometry::InfoResult::OutOfRange:
            qCWarning(lcSensor) << "frame info out of range:" << m_info->cachedValue();
            break;
        }
    } else if (m_size) {
        (void)m_size->value();
        const QVector<int> pair = m_size->cachedValue();
        CVNFrameGeometry geometry;
        geometry.width = pair.value(0);
        geometry.height = pair.value(1);
        // A grid the device did not tell (or an absurd one) keeps the size
        // from the description.
        if (geometry.isValid())
            m_geometry = geometry;
        else
            qCWarning(lcSensor) << "sensor size" << pair << "not taken for" << name();
    }
    m_transferLength = m_geometry.transferLength();
}

CVNDeviceRequest DevicePropertyFrame::makeRequest()
{
    if (!isUsable())
        return CVNDeviceRequest();
    if (m_transferLength == 0)
        computeGeometry();
    if (!m_geometry.isValid())
        return CVNDeviceRequest();
    return CVNHidFrameExchange::makeRequest(name(), m_geometry);
}

void DevicePropertyFrame::handleReply(const CVNDeviceRequest& reply)
{
    switch (reply.type) {
    case CVNDeviceRequest::Get:
    case CVNDeviceRequest::Set: {
        const QByteArray bytes = reply.value.toByteArray();
        if (bytes.size() < m_geometry.cells()) {
            qCDebug(lcSensor) << "short frame" << bytes.size() << "of" << m_geometry.cells() << "cells";
            return;
        }
        assignReply(bytes);
        setRequestState(ReplyReceived);
        notifyChanged();
        break;
    }
    case CVNDeviceRequest::Error:
        // The last picture stays; the next poll tries again.
        qCDebug(lcSensor) << "frame:" << reply.text;
        break;
    default:
        break;
    }
}

void DevicePropertyFrame::assignReply(const QVariant& value)
{
    m_frame = value.toByteArray().left(m_geometry.cells());
    m_value = QString::fromLatin1(CVNFramePng::encodeBase64(m_frame, m_geometry.width, m_geometry.height));
}

QString DevicePropertyFrame::writeWords(const QStringList& words)
{
    (void)words;
    return isWritable() ? QString() : notWritableText();
}

bool DevicePropertyFrame::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}

void DevicePropertyBuilderFrame::configure(DevicePropertyFrame* property, const QJsonObject& entityJson)
{
    const QJsonObject size = entityJson.value(QStringLiteral("size")).toObject();
    if (size.isEmpty())
        return;
    property->setFrameSize(QSize(size.value(QStringLiteral("width")).toInt(), size.value(QStringLiteral("height")).toInt()));
}
