#pragma once

#include "com/hostendpoint.h"
#include "interface/deviceproperty.h"
#include "properties/touchoutput.h"

#include <QList>
#include <QObject>

#include <memory>

class DevicePropertyIntPair;
class DevicePropertyIntTriple;
class DevicePropertyTouches;
class Tuio1Client;
class Tuio2Client;

// The TUIO output of a controller's touches: every receiver (address and
// port) gets a TUIO 1.1 and a TUIO 2.0 frame each time the touch stream has
// processed a reply. Receivers come from the text command ("start IP:PORT",
// "stop IP:PORT"), from JSON and from the settings, which are loaded and
// started with the interface. While it has receivers the property observes
// the touch stream, which keeps the stream polling.
class DevicePropertyTuio : public QObject, public DeviceProperty, public CVNPropertyObserver, public CVNTouchOutput
{
    Q_OBJECT
public:
    DevicePropertyTuio(CVNDeviceInterface* interface, const QString& name, const QString& description,
                       const QString& command, int accessMode);
    ~DevicePropertyTuio() override;

    static QString staticTypeName() { return QStringLiteral("Tuio"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("start IP:PORT | stop IP:PORT | report-locked [true | false]"); }

    QString execute(CVNEntityContext& context) override;
    // {"start": {"ip", "port"}, "stop": {...}, "report_locked": bool}
    void setValue(const QJsonValue& value) override;
    // {"address": [{"ip", "port"}...], "report_locked": bool}
    QJsonValue value() override { return cachedJson(); }
    CVNDeviceRequest makeRequest() override { return CVNDeviceRequest(); }
    void saveSettings(QSettings& settings) override;
    void loadSettings(QSettings& settings) override;

    void propertyChanged(CVNProperty* property) override;
    void propertyDestroyed(CVNProperty* property) override;

    // CVNTouchOutput: the tuning sequence holds the output while it runs.
    void holdOutput(bool hold) override;
    bool isOutputHeld() const override { return m_held; }

    // Adds or removes a receiver; false when it was already listed / not listed.
    bool startEndpoint(const HostEndpoint& endpoint);
    bool stopEndpoint(const HostEndpoint& endpoint);
    const QList<HostEndpoint>& receivers() const { return m_receivers; }
    bool isReportLocked() const { return m_reportLocked; }
    void setReportLocked(bool locked) { m_reportLocked = locked; }

    Tuio1Client& tuio1() { return *m_tuio1; }
    Tuio2Client& tuio2() { return *m_tuio2; }

    static QString invalidArgumentsText() { return QStringLiteral("Invalid arguments"); }
    static QString noAddressesText() { return QStringLiteral("No addresses in tuio list"); }
    static QString noValidAddressText() { return QStringLiteral("No valid ip address"); }

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { (void)value; }
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return QVariant(); }

private:
    QString reportLockedCommand(const QStringList& arguments);
    QString startStopCommand(const QStringList& arguments, bool start);
    QString listText() const;
    // The touch stream, the logical sensor size and the flip/orientation
    // triple of the same interface; null when absent.
    DevicePropertyTouches* touchesLink() const;
    DevicePropertyIntPair* sizeLink() const;
    DevicePropertyIntTriple* orientationLink() const;
    void configureClients();
    void observeTouches(bool observe);

    std::unique_ptr<Tuio1Client> m_tuio1;
    std::unique_ptr<Tuio2Client> m_tuio2;
    QList<HostEndpoint> m_receivers;
    bool m_reportLocked = false;
    DevicePropertyTouches* m_observed = nullptr;
    bool m_held = false;
};
