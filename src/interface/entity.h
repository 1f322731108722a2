#pragma once

#include "device/devicerequest.h"
#include "interface/entitycontext.h"
#include "interface/settingscontext.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

class CVNProperty;

// How sessions and composite properties watch a property.
class CVNPropertyObserver
{
public:
    virtual ~CVNPropertyObserver() = default;
    virtual void propertyChanged(CVNProperty* property) = 0;
    virtual void propertyDestroyed(CVNProperty* property) = 0;
};

// Everything a client can read, write or call: a name, a description and the
// command word under which text commands reach it (may be empty).
class Entity : public SettingsContext
{
public:
    enum Kind : int { PropertyKind = 1, FunctionKind = 2 };

    Entity(const QString& name, const QString& description, const QString& command);
    ~Entity() override = default;

    // {"name", "type", "description", "command" (when not empty)} plus the
    // keys of the kind and class.
    virtual QJsonObject describe() const;
    virtual QString typeName() const = 0;
    virtual int kind() const = 0;
    // Text command: the argument words and the file table in, text out.
    virtual QString execute(CVNEntityContext& context) = 0;

    QString name() const { return m_name; }
    QString description() const { return m_description; }
    QString command() const { return m_command; }

private:
    QString m_name;
    QString m_description;
    QString m_command;
};

// A value with an access mode and observers.
class CVNProperty : public Entity
{
public:
    CVNProperty(const QString& name, const QString& description, const QString& command, int accessMode);
    ~CVNProperty() override;

    int kind() const override { return PropertyKind; }
    QJsonObject describe() const override;  // adds "access_mode"

    virtual QString argumentHint() const = 0;
    // A write from a JSON request; see writeValue for its outcome.
    virtual void setValue(const QJsonValue& value) = 0;
    // setValue, then why the write did not take effect: empty when it did.
    // Classes that refuse writes say so with refuseWrite().
    QString writeValue(const QJsonValue& value);
    virtual QJsonValue value() = 0;
    virtual void addObserver(CVNPropertyObserver* observer);
    virtual void removeObserver(CVNPropertyObserver* observer);
    virtual void setSymbolExtra(const QString& role, const QString& value) { (void)role; (void)value; }
    // Device properties talk to their interface through requests; others
    // send nothing.
    virtual CVNDeviceRequest makeRequest() { return CVNDeviceRequest(); }
    virtual void handleReply(const CVNDeviceRequest& reply) { (void)reply; }

    int accessMode() const { return m_accessMode; }
    bool isReadable() const;
    bool isWritable() const;
    bool isMutable() const;
    const QList<CVNPropertyObserver*>& observers() const { return m_observers; }

    // Tells every observer, in order, that the value changed.
    void notifyChanged();

protected:
    void setAccessMode(int mode) { m_accessMode = mode; }
    // Called from setValue: the write did not take effect, for `reason`.
    void refuseWrite(const QString& reason) { m_writeRefusal = reason; }
    QString writeRefusal() const { return m_writeRefusal; }

private:
    int m_accessMode;
    QList<CVNPropertyObserver*> m_observers;
    QString m_writeRefusal;
};

// A command with arguments and a result.
class CVNFunction : public Entity
{
public:
    CVNFunction(const QString& name, const QString& description, const QString& command,
                const QString& argumentText);

    int kind() const override { return FunctionKind; }
    QString typeName() const override { return QStringLiteral("Function"); }
    QJsonObject describe() const override;  // adds "arg_exp"

    virtual QString argumentText() const { return m_argumentText; }
    virtual void call(const QJsonValue& arguments) = 0;
    virtual QJsonValue result() const = 0;
    virtual CVNDeviceRequest makeRequest() { return CVNDeviceRequest(); }
    virtual void handleReply(const CVNDeviceRequest& reply) { (void)reply; }

private:
    QString m_argumentText;
};
