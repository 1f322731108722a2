#pragma once

#include "interface/entity.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

class CVNDeviceInterface;

// A property whose value lives on a device: cached here, refreshed through
// device requests that its interface sends, and re-read when a property it
// depends on changes.
class DeviceProperty : public CVNProperty
{
public:
    // Request state: what the cached value means and what the next
    // makeRequest() asks for.
    enum RequestState : int {
        Idle = 0,               // nothing valid cached, or the last exchange failed
        ActionRequested = 1,    // a write waits to be sent
        DownloadRequested = 2,  // a read waits to be sent
        ReplyReceived = 3,      // the cache holds what the device last reported
    };

    DeviceProperty(CVNDeviceInterface* interface, const QString& name, const QString& description,
                   const QString& command, int accessMode);

    void store() override;

    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override;
    CVNDeviceRequest makeRequest() override;
    void handleReply(const CVNDeviceRequest& reply) override;

    CVNDeviceInterface* deviceInterface() const { return m_interface; }
    int requestState() const { return m_requestState; }
    void setRequestState(int state) { m_requestState = state; }
    QString lastError() const { return m_lastError; }

    // "depends" links, keyed by entity name.
    void addDependency(DeviceProperty* property);
    void addDependent(DeviceProperty* property);
    const QHash<QString, DeviceProperty*>& dependencies() const { return m_dependencies; }
    const QHash<QString, DeviceProperty*>& dependents() const { return m_dependents; }
    // Every property that depends on this one, directly or through others,
    // each once, this one excluded.
    QList<DeviceProperty*> collectDependents() const;
    // Re-reads every dependent from the device.
    void refreshDependents();

    // The text of a read: the last device error while the state is idle,
    // else the cached value's text. A device that is not open answers with
    // the cached value only when the device reported it.
    QString readText();

    static QString notWritableText() { return QStringLiteral("Property is not writable"); }
    static QString invalidArgumentText() { return QStringLiteral("Invalid argument"); }
    // Nothing could be exchanged: the device is closed or gone.
    static QString deviceNotOpenText() { return QStringLiteral("error: device not open"); }
    // A device answer that is not a value of the class (a fraction for an int).
    static QString unknownResultText() { return QStringLiteral("Unknown result"); }

protected:
    // The class's write syntax: checks and parses the words, stores the value
    // and returns an empty text, or returns the message and changes nothing.
    [[nodiscard]] virtual QString writeWords(const QStringList& words) = 0;
    // Converts a JSON value into the cache; false (nothing changed) when it
    // does not convert.
    [[nodiscard]] virtual bool assignJson(const QJsonValue& value) = 0;
    // Takes the value of a device reply into the cache.
    virtual void assignReply(const QVariant& value) = 0;
    virtual QString valueText() const = 0;
    virtual QJsonValue cachedJson() const = 0;
    // The value field of a set request.
    virtual QVariant requestValue() const = 0;

    // Called after a good reply has been taken; the base does nothing.
    virtual void replyTaken(const CVNDeviceRequest& reply) { (void)reply; }

    // Whether a device answer is a value of the class. One that is not
    // becomes an error ("Unknown result"), never a value. The base takes all.
    virtual bool acceptsReply(const QVariant& value) const
    {
        (void)value;
        return true;
    }
    // The cached value, put back when a write did not take effect. The base
    // keeps the set request's value and gives it back as a reply; a class
    // whose requestValue() does not read back through assignReply()
    // overrides both.
    virtual QVariant savedValue() const { return requestValue(); }
    virtual void restoreValue(const QVariant& saved) { assignReply(saved); }

    // A stored write: state 1, send, refresh the dependents.
    void commitWrite();
    // Asks the interface to exchange this property's request.
    void send();

private:
    // What a write may have to put back.
    struct CacheSnapshot {
        QVariant value;
        int state;
        QString error;
    };
    CacheSnapshot snapshot() const { return CacheSnapshot{savedValue(), m_requestState, m_lastError}; }
    // Sends a write that writeWords() or assignJson() has stored. Unless the
    // device confirmed it, the cache goes back to `before` and the text says
    // why; empty when the write took effect.
    QString finishWrite(const CacheSnapshot& before);
    QString read(bool* failed);
    bool deviceOpen() const;

    CVNDeviceInterface* m_interface;
    int m_requestState = Idle;
    QString m_lastError;
    QHash<QString, DeviceProperty*> m_dependencies;
    QHash<QString, DeviceProperty*> m_dependents;
};
