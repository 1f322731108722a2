#include "touch/devicepropertytouchentities.h"

#include <QSettings>

namespace
{

const QString SpecKey = QStringLiteral("spec");
const QString OrSpecKey = QStringLiteral("or-spec");

} // namespace

DevicePropertyTouchEntities::DevicePropertyTouchEntities(CVNDeviceInterface* interface, const QString& name,
                                                         const QString& description, const QString& command,
                                                         int accessMode)
    : DevicePropertyTouches(interface, name, description, command, accessMode)
{
}

void DevicePropertyTouchEntities::setOrSpec(int orSpec)
{
    applyOrSpec(orSpec);
    store();
}

QString DevicePropertyTouchEntities::execute(CVNEntityContext& context)
{
    const QStringList& arguments = context.arguments;
    if (arguments.size() > 1)
        return invalidParametersText();
    if (arguments.size() == 1) {
        bool ok = false;
        const int orSpec = arguments.first().toInt(&ok);
        if (!ok)
            return invalidArgumentText() + QLatin1Char('\n') + argumentHint();
        setOrSpec(orSpec);
    }
    return QString::number(this->orSpec());
}

void DevicePropertyTouchEntities::setValue(const QJsonValue& value)
{
    const QJsonValue orSpec = value.toObject().value(OrSpecKey);
    // Whole numbers only: 1.5 is no or-spec.
    if (!orSpec.isDouble() || orSpec.toDouble() != static_cast<double>(orSpec.toInt()))
        return;
    setOrSpec(orSpec.toInt());
}

void DevicePropertyTouchEntities::saveSettings(QSettings& settings)
{
    settings.beginGroup(name());
    settings.setValue(SpecKey, orSpec());
    settings.endGroup();
}

void DevicePropertyTouchEntities::loadSettings(QSettings& settings)
{
    settings.beginGroup(name());
    bool ok = false;
    const int orSpec = settings.value(SpecKey, 0).toInt(&ok);
    settings.endGroup();
    applyOrSpec(ok ? orSpec : 0);
}
