#include "properties/tunesettings.h"

#include "properties/companion.h"
#include "properties/directcommand.h"

bool CVNTuneSettings::save(const QList<QPair<QString, DevicePropertyInt*>>& properties, QStringList* unreadable)
{
    m_settings.clear();
    QList<Setting> settings;
    for (const auto& entry : properties) {
        DevicePropertyInt* property = entry.second;
        if (!property)
            continue;
        // A fresh reading: what the controller holds now, not the cache.
        property->setRequestState(DeviceProperty::Idle);
        const QJsonValue value = property->value();
        if (property->requestState() != DeviceProperty::ReplyReceived) {
            if (!unreadable->contains(entry.first))
                unreadable->append(entry.first);
            continue;
        }
        settings.append(Setting{entry.first, property, property->command(), value.toInt()});
    }
    if (!unreadable->isEmpty())
        return false;
    m_settings = settings;
    return true;
}

QStringList CVNTuneSettings::groups() const
{
    QStringList result;
    for (const Setting& setting : m_settings) {
        if (!result.contains(setting.group))
            result.append(setting.group);
    }
    return result;
}

QStringList CVNTuneSettings::restore(CVNDevice* device, const QStringList& keep)
{
    QStringList failed;
    for (const Setting& setting : qAsConst(m_settings)) {
        if (keep.contains(setting.group))
            continue;
        // Each is tried, whatever became of the one before.
        const bool written = setting.property
            ? CVNCompanion::write(setting.property, setting.value)
            : CVNDirectCommand::send(device, setting.word, QString::number(setting.value));
        if (!written && !failed.contains(setting.group))
            failed.append(setting.group);
    }
    m_settings.clear();
    return failed;
}

QStringList CVNTuneSettings::restoreDirectly(CVNDevice* device)
{
    for (Setting& setting : m_settings)
        setting.property = nullptr;
    return restore(device);
}

void CVNTuneSettings::forget(const CVNProperty* property)
{
    for (Setting& setting : m_settings) {
        if (static_cast<const CVNProperty*>(setting.property) == property)
            setting.property = nullptr;
    }
}
