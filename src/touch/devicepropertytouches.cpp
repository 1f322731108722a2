#include "touch/devicepropertytouches.h"

#include "interface/deviceinterface.h"
#include "properties/devicepropertycalibration.h"
#include "properties/devicepropertytouchcalibration.h"
#include "touch/touchentityjson.h"
#include "touch/touchlog.h"

#include <QDateTime>
#include <QJsonDocument>

DevicePropertyTouches::DevicePropertyTouches(CVNDeviceInterface* interface, const QString& name,
                                             const QString& description, const QString& command, int accessMode)
    : QObject(nullptr)
    , DeviceProperty(interface, name, description, command, accessMode)
    , m_clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    m_poll.setInterval(PollIntervalMs);
    connect(&m_poll, &QTimer::timeout, this, &DevicePropertyTouches::readValue);
}

DevicePropertyTouches::~DevicePropertyTouches()
{
    m_poll.stop();
}

DevicePropertyCalibration* DevicePropertyTouches::geometricCalibrationLink() const
{
    CVNDeviceInterface* interface = deviceInterface();
    return interface ? dynamic_cast<DevicePropertyCalibration*>(interface->entity(QStringLiteral("geometric_calibration")))
                     : nullptr;
}

DevicePropertyTouchCalibration* DevicePropertyTouches::touchCalibrationLink() const
{
    CVNDeviceInterface* interface = deviceInterface();
    return interface ? dynamic_cast<DevicePropertyTouchCalibration*>(interface->entity(QStringLiteral("tctlrc")))
                     : nullptr;
}

void DevicePropertyTouches::addObserver(CVNPropertyObserver* observer)
{
    DeviceProperty::addObserver(observer);
    if (!observers().isEmpty() && !m_poll.isActive() && isMutable()) {
        primeCalibration();
        m_poll.start();
    }
}

void DevicePropertyTouches::removeObserver(CVNPropertyObserver* observer)
{
    DeviceProperty::removeObserver(observer);
    if (observers().isEmpty())
        m_poll.stop();
}

void DevicePropertyTouches::primeCalibration()
{
    if (DevicePropertyTouchCalibration* touch = touchCalibrationLink()) {
        if (touch->requestState() != ReplyReceived)
            (void)touch->value();
    }
    if (DevicePropertyCalibration* geometric = geometricCalibrationLink()) {
        if (geometric->requestState() != ReplyReceived)
            (void)geometric->value();
    }
}

void DevicePropertyTouches::readValue()
{
    m_reading = true;
    send();
    m_reading = false;
}

CVNDeviceRequest DevicePropertyTouches::makeRequest()
{
    // Only the poll reads: a refresh after a calibration change must not
    // count as a poll and age the touches.
    if (!m_reading)
        return CVNDeviceRequest();
    return CVNDeviceRequest(CVNDeviceRequest::Get, name(), 0);
}

void DevicePropertyTouches::handleReply(const CVNDeviceRequest& reply)
{
    switch (reply.type) {
    case CVNDeviceRequest::Get:
        takeBlock(reply.value.toByteArray());
        break;
    case CVNDeviceRequest::Error:
        // The tracker stays as it is; the next poll tries again.
        qCDebug(lcTouch) << "touch read failed:" << reply.text;
        break;
    default:
        break;
    }
}

void DevicePropertyTouches::takeBlock(const QByteArray& block)
{
    m_tracker.update(CVNTouchRecords::decode(block), m_clock());
    applyCalibration();
    setRequestState(ReplyReceived);
    notifyChanged();
}

void DevicePropertyTouches::applyCalibration()
{
    DevicePropertyTouchCalibration* touch = touchCalibrationLink();
    DevicePropertyCalibration* geometric = geometricCalibrationLink();
    if (touch && touch->isEnabled() && geometric) {
        const CVNCalibrationMap map = geometric->calibrationMap();
        m_tracker.applyCalibration(&map);
    } else {
        m_tracker.applyCalibration(nullptr);
    }
}

void DevicePropertyTouches::applyOrSpec(int orSpec)
{
    const int before = m_tracker.orSpec();
    m_tracker.setOrSpec(orSpec);
    if (m_tracker.orSpec() != before)
        m_tracker.setProcessor(TouchEntityProcess::create(m_tracker.orSpec()));
}

QJsonValue DevicePropertyTouches::value()
{
    // Without a running poll a client's read takes one snapshot.
    if (!m_poll.isActive())
        readValue();
    return cachedJson();
}

void DevicePropertyTouches::setValue(const QJsonValue& value)
{
    (void)value;
}

QString DevicePropertyTouches::execute(CVNEntityContext& context)
{
    if (!context.arguments.isEmpty())
        return notWritableText();
    return QString::fromUtf8(QJsonDocument(value().toObject()).toJson(QJsonDocument::Compact));
}

QString DevicePropertyTouches::writeWords(const QStringList& words)
{
    (void)words;
    return notWritableText();
}

bool DevicePropertyTouches::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}

void DevicePropertyTouches::assignReply(const QVariant& value)
{
    m_tracker.update(CVNTouchRecords::decode(value.toByteArray()), m_clock());
}

QString DevicePropertyTouches::valueText() const
{
    return QString::fromUtf8(QJsonDocument(cachedJson().toObject()).toJson(QJsonDocument::Compact));
}

QJsonValue DevicePropertyTouches::cachedJson() const
{
    QJsonObject object{ { QStringLiteral("or-spec"), m_tracker.orSpec() } };
    if (requestState() == ReplyReceived && !m_tracker.entities().isEmpty())
        object.insert(QStringLiteral("entities"), CVNTouchEntityJson::toJson(m_tracker.entities()));
    return object;
}
