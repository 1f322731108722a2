#include "interface/entity.h"

#include "interface/accessmode.h"

#include <utility>

Entity::Entity(const QString& name, const QString& description, const QString& command)
    : m_name(name)
    , m_description(description)
    , m_command(command)
{
}

QJsonObject Entity::describe() const
{
    QJsonObject object{
        {QStringLiteral("name"), m_name},
        {QStringLiteral("type"), typeName()},
        {QStringLiteral("description"), m_description},
    };
    if (!m_command.isEmpty())
        object.insert(QStringLiteral("command"), m_command);
    return object;
}

CVNProperty::CVNProperty(const QString& name, const QString& description, const QString& command,
                         int accessMode)
    : Entity(name, description, command)
    , m_accessMode(accessMode)
{
}

CVNProperty::~CVNProperty()
{
    // Observers may unregister while being told; work on a copy.
    const QList<CVNPropertyObserver*> observers = m_observers;
    m_observers.clear();
    for (CVNPropertyObserver* observer : observers)
        observer->propertyDestroyed(this);
}

QJsonObject CVNProperty::describe() const
{
    QJsonObject object = Entity::describe();
    object.insert(QStringLiteral("access_mode"), AccessMode::toText(m_accessMode));
    return object;
}

void CVNProperty::addObserver(CVNPropertyObserver* observer)
{
    if (observer && !m_observers.contains(observer))
        m_observers.append(observer);
}

void CVNProperty::removeObserver(CVNPropertyObserver* observer)
{
    m_observers.removeOne(observer);
}

QString CVNProperty::writeValue(const QJsonValue& value)
{
    m_writeRefusal.clear();
    setValue(value);
    return std::exchange(m_writeRefusal, QString());
}

bool CVNProperty::isReadable() const { return m_accessMode & AccessMode::Read; }
bool CVNProperty::isWritable() const { return m_accessMode & AccessMode::Write; }
bool CVNProperty::isMutable() const { return m_accessMode & AccessMode::Mutable; }

void CVNProperty::notifyChanged()
{
    const QList<CVNPropertyObserver*> observers = m_observers;
    for (CVNPropertyObserver* observer : observers) {
        if (m_observers.contains(observer))
            observer->propertyChanged(this);
    }
}

CVNFunction::CVNFunction(const QString& name, const QString& description, const QString& command,
                         const QString& argumentText)
    : Entity(name, description, command)
    , m_argumentText(argumentText)
{
}

QJsonObject CVNFunction::describe() const
{
    QJsonObject object = Entity::describe();
    object.insert(QStringLiteral("arg_exp"), m_argumentText);
    return object;
}
