#include "tuio/devicepropertytuio.h"

#include "device/device.h"
#include "interface/deviceinterface.h"
#include "interface/devicepropertyintpair.h"
#include "interface/devicepropertyinttriple.h"
#include "touch/devicepropertytouches.h"
#include "tuio/tuio1client.h"
#include "tuio/tuio2client.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

namespace
{

const QString AddressesKey = QStringLiteral("addresses");
const QString ReportLockedKey = QStringLiteral("report_locked");

// "IP:PORT" as typed: exactly one colon, an address and a decimal port.
// ok is false when the text is malformed; port 0 is returned as such.
HostEndpoint parseEndpoint(const QString& text, bool* ok)
{
    *ok = false;
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2)
        return HostEndpoint();
    const QHostAddress address(parts.at(0));
    bool portOk = false;
    const uint port = parts.at(1).toUInt(&portOk, 10);
    if (address.isNull() || !portOk || port > 0xFFFF)
        return HostEndpoint();
    *ok = true;
    return HostEndpoint(address, static_cast<quint16>(port));
}

// {"ip": text, "port": integer} with a usable address and port.
bool endpointOfJson(const QJsonValue& value, HostEndpoint* endpoint)
{
    const QJsonObject object = value.toObject();
    const QHostAddress address(object.value(QStringLiteral("ip")).toString());
    const QJsonValue port = object.value(QStringLiteral("port"));
    const double number = port.toDouble(-1);
    if (address.isNull() || !port.isDouble() || number < 1 || number > 0xFFFF || number != static_cast<int>(number))
        return false;
    *endpoint = HostEndpoint(address, static_cast<quint16>(number));
    return true;
}

bool isUsable(const HostEndpoint& endpoint)
{
    return !endpoint.address().isNull() && endpoint.port() > 0 && endpoint.port() <= 0xFFFF;
}

} // namespace

DevicePropertyTuio::DevicePropertyTuio(CVNDeviceInterface* interface, const QString& name,
                                       const QString& description, const QString& command, int accessMode)
    : QObject(nullptr)
    , DeviceProperty(interface, name, description, command, accessMode)
    , m_tuio1(std::make_unique<Tuio1Client>())
    , m_tuio2(std::make_unique<Tuio2Client>())
{
}

DevicePropertyTuio::~DevicePropertyTuio()
{
    observeTouches(false);
    // The clients send their idle frames as they go.
    m_tuio1.reset();
    m_tuio2.reset();
}

DevicePropertyTouches* DevicePropertyTuio::touchesLink() const
{
    CVNDeviceInterface* interface = deviceInterface();
    return interface ? dynamic_cast<DevicePropertyTouches*>(interface->entity(QStringLiteral("touches"))) : nullptr;
}

DevicePropertyIntPair* DevicePropertyTuio::sizeLink() const
{
    CVNDeviceInterface* interface = deviceInterface();
    return interface ? dynamic_cast<DevicePropertyIntPair*>(interface->entity(QStringLiteral("flogs"))) : nullptr;
}

DevicePropertyIntTriple* DevicePropertyTuio::orientationLink() const
{
    CVNDeviceInterface* interface = deviceInterface();
    return interface ? dynamic_cast<DevicePropertyIntTriple*>(interface->entity(QStringLiteral("cfo"))) : nullptr;
}

bool DevicePropertyTuio::startEndpoint(const HostEndpoint& endpoint)
{
    if (!isUsable(endpoint) || m_receivers.contains(endpoint))
        return false;
    const QHostAddress address = endpoint.address();
    const auto port = static_cast<quint16>(endpoint.port());
    m_tuio1->addReceiver(address, port);
    m_tuio2->addReceiver(address, port);
    m_receivers.append(endpoint);
    if (touchesLink()) {
        configureClients();
        observeTouches(true);
    }
    return true;
}

bool DevicePropertyTuio::stopEndpoint(const HostEndpoint& endpoint)
{
    const int index = m_receivers.indexOf(endpoint);
    if (index < 0)
        return false;
    const QHostAddress address = m_receivers.at(index).address();
    const auto port = static_cast<quint16>(m_receivers.at(index).port());
    m_tuio1->removeReceiver(address, port);
    m_tuio2->removeReceiver(address, port);
    m_receivers.removeAt(index);
    if (m_receivers.isEmpty())
        observeTouches(false);
    return true;
}

void DevicePropertyTuio::holdOutput(bool hold)
{
    if (hold == m_held)
        return;
    m_held = hold;
    if (hold) {
        observeTouches(false);
    } else if (!m_receivers.isEmpty() && touchesLink()) {
        configureClients();
        observeTouches(true);
    }
}

void DevicePropertyTuio::observeTouches(bool observe)
{
    if (observe && m_held)
        return;
    if (observe && !m_observed) {
        m_observed = touchesLink();
        if (m_observed)
            m_observed->addObserver(this);
    } else if (!observe && m_observed) {
        DevicePropertyTouches* touches = m_observed;
        m_observed = nullptr;
        touches->removeObserver(this);
    }
}

void DevicePropertyTuio::configureClients()
{
    if (DevicePropertyIntPair* size = sizeLink()) {
        if (size->requestState() != ReplyReceived)
            (void)size->value();
        const QVector<int> wh = size->cachedValue();
        if (wh.size() == 2) {
            m_tuio1->setSensorSize(QSize(wh.at(0), wh.at(1)));
            m_tuio2->setSensorSize(QSize(wh.at(0), wh.at(1)));
        }
    }
    if (DevicePropertyIntTriple* orientation = orientationLink()) {
        if (orientation->requestState() != ReplyReceived)
            (void)orientation->value();
    }
    CVNDeviceInterface* interface = deviceInterface();
    if (CVNDevice* device = interface ? interface->device() : nullptr) {
        const QString source = device->productName() + QLatin1Char(' ') + device->serialNumber();
        m_tuio1->setSource(source);
        m_tuio2->setSource(source);
    }
}

void DevicePropertyTuio::propertyChanged(CVNProperty* property)
{
    if (property != m_observed || m_receivers.isEmpty())
        return;
    int orientation = 0;
    if (DevicePropertyIntTriple* cfo = orientationLink()) {
        const QVector<int> triple = cfo->cachedValue();
        orientation = triple.size() == 3 ? triple.at(2) : 0;
    }
    // The logical size may have been changed since the start.
    if (DevicePropertyIntPair* size = sizeLink()) {
        const QVector<int> wh = size->cachedValue();
        if (wh.size() == 2 && wh.at(0) > 0 && wh.at(1) > 0) {
            m_tuio1->setSensorSize(QSize(wh.at(0), wh.at(1)));
            m_tuio2->setSensorSize(QSize(wh.at(0), wh.at(1)));
        }
    }
    m_tuio1->setOrientation(orientation);
    m_tuio2->setOrientation(orientation);
    const QList<TouchEntity*>& entities = m_observed->tracker().entities();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    m_tuio1->sendFrame(entities, m_reportLocked, now);
    m_tuio2->sendFrame(entities, m_reportLocked, now);
}

void DevicePropertyTuio::propertyDestroyed(CVNProperty* property)
{
    if (property == m_observed)
        m_observed = nullptr;
}

QString DevicePropertyTuio::execute(CVNEntityContext& context)
{
    const QStringList& arguments = context.arguments;
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("report-locked"))
        return reportLockedCommand(arguments);
    if (arguments.size() <= 1)
        return listText();
    if (arguments.first() == QLatin1String("start"))
        return startStopCommand(arguments.mid(1), true);
    if (arguments.first() == QLatin1String("stop"))
        return startStopCommand(arguments.mid(1), false);
    return invalidArgumentsText();
}

QString DevicePropertyTuio::reportLockedCommand(const QStringList& arguments)
{
    if (arguments.size() == 1)
        return QStringLiteral("report locked: %1").arg(m_reportLocked ? QStringLiteral("true") : QStringLiteral("false"));
    if (arguments.size() > 2)
        return invalidArgumentsText();
    const QString value = arguments.at(1).toLower();
    if (value == QLatin1String("1") || value == QLatin1String("true") || value == QLatin1String("yes"))
        m_reportLocked = true;
    else if (value == QLatin1String("0") || value == QLatin1String("false") || value == QLatin1String("no"))
        m_reportLocked = false;
    else
        return invalidArgumentText();
    store();
    return QString();
}

QString DevicePropertyTuio::startStopCommand(const QStringList& arguments, bool start)
{
    QList<HostEndpoint> endpoints;
    for (const QString& argument : arguments) {
        bool ok = false;
        const HostEndpoint endpoint = parseEndpoint(argument, &ok);
        if (!ok)
            return invalidArgumentsText();
        if (endpoint.port() != 0)
            endpoints.append(endpoint);
    }
    if (endpoints.isEmpty())
        return noValidAddressText();
    for (const HostEndpoint& endpoint : qAsConst(endpoints))
        (void)(start ? startEndpoint(endpoint) : stopEndpoint(endpoint));
    store();
    QString reply = start ? QStringLiteral("Has started ") : QStringLiteral("Was stopped ");
    for (const QString& argument : arguments)
        reply += argument + QLatin1Char(' ');
    const bool plural = arguments.size() >= 2;
    if (start)
        reply += plural ? QStringLiteral("ip addresses to tuio client") : QStringLiteral("ip address to tuio client");
    else
        reply += plural ? QStringLiteral("ip addresses from tuio client") : QStringLiteral("ip address from tuio client");
    return reply;
}

QString DevicePropertyTuio::listText() const
{
    if (m_receivers.isEmpty())
        return noAddressesText();
    QString text = QStringLiteral("\nActive addresses\n");
    for (int i = 0; i < m_receivers.size(); ++i)
        text += QStringLiteral("%1. %2:%3\n").arg(i + 1).arg(m_receivers.at(i).host()).arg(m_receivers.at(i).port());
    return text;
}

void DevicePropertyTuio::setValue(const QJsonValue& value)
{
    (void)assignJson(value);
}

bool DevicePropertyTuio::assignJson(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    bool present = false;
    HostEndpoint endpoint;
    if (object.contains(QStringLiteral("start"))) {
        present = true;
        if (endpointOfJson(object.value(QStringLiteral("start")), &endpoint))
            (void)startEndpoint(endpoint);
    }
    if (object.contains(QStringLiteral("stop"))) {
        present = true;
        if (endpointOfJson(object.value(QStringLiteral("stop")), &endpoint))
            (void)stopEndpoint(endpoint);
    }
    const QJsonValue locked = object.value(ReportLockedKey);
    if (locked.isBool()) {
        present = true;
        m_reportLocked = locked.toBool();
    }
    if (present)
        store();
    return present;
}

QString DevicePropertyTuio::writeWords(const QStringList& words)
{
    (void)words;
    return invalidArgumentsText();
}

QString DevicePropertyTuio::valueText() const
{
    return listText();
}

QJsonValue DevicePropertyTuio::cachedJson() const
{
    QJsonArray addresses;
    for (const HostEndpoint& endpoint : m_receivers)
        addresses.append(QJsonObject{ { QStringLiteral("ip"), endpoint.host() }, { QStringLiteral("port"), endpoint.port() } });
    return QJsonObject{ { QStringLiteral("address"), addresses }, { ReportLockedKey, m_reportLocked } };
}

void DevicePropertyTuio::saveSettings(QSettings& settings)
{
    QStringList addresses;
    for (const HostEndpoint& endpoint : qAsConst(m_receivers))
        addresses.append(endpoint.toString());
    settings.beginGroup(name());
    settings.setValue(AddressesKey, addresses);
    settings.setValue(ReportLockedKey, m_reportLocked);
    settings.endGroup();
}

void DevicePropertyTuio::loadSettings(QSettings& settings)
{
    settings.beginGroup(name());
    const QVariant stored = settings.value(AddressesKey);
    m_reportLocked = settings.value(ReportLockedKey, false).toBool();
    settings.endGroup();
    QStringList addresses;
    if (stored.userType() == QMetaType::QString) {
        if (!stored.toString().isEmpty())
            addresses.append(stored.toString());
    } else {
        addresses = stored.toStringList();
    }
    for (const QString& text : qAsConst(addresses))
        (void)startEndpoint(HostEndpoint::fromText(text));
}
