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

void DevicePropertyTouchEntities::setSpecification(int specification)
{
    applySpecification(specification);
    store();
}

QString DevicePropertyTouchEntities::execute(CVNEntityContext& context)
{
    const QStringList& arguments = context.arguments;
    if (arguments.size() > 1)
        return invalidParametersText();
    if (arguments.size() == 1) {
        bool ok = false;
        const int specification = arguments.first().toInt(&ok);
        if (!ok)
            return invalidArgumentText() + QLatin1Char('\n') + argumentHint();
        setSpecification(specification);
    }
    return QString::number(this->specification());
}

void DevicePropertyTouchEntities::setValue(const QJsonValue& value)
{
    const QJsonValue specification = value.toObject().value(OrSpecKey);
    // Whole numbers only: 1.5 is no specification.
    if (!specification.isDouble() || specification.toDouble() != static_cast<double>(specification.toInt()))
        return;
    setSpecification(specification.toInt());
}

void DevicePropertyTouchEntities::saveSettings(QSettings& settings)
{
    settings.beginGroup(name());
    settings.setValue(SpecKey, specification());
    settings.endGroup();
}

void DevicePropertyTouchEntities::loadSettings(QSettings& settings)
{
    settings.beginGroup(name());
    bool ok = false;
    const int specification = settings.value(SpecKey, 0).toInt(&ok);
    settings.endGroup();
    applySpecification(ok ? specification : 0);
}
