#pragma once

#include "interface/devicepropertynumber.h"

#include <QList>
#include <QString>
#include <QStringList>

class CVNDevice;
class CVNProperty;

// The sensor settings that the tuning sequence changes, taken as the
// controller holds them when the sequence starts and written back when it
// ends. Each setting belongs to a group under which it is reported ("gain",
// "th", "shield" for the four settings behind the shield level, "tcenable").
// The raw values are kept, not the shield level: a custom combination
// (level -1) comes back as it was.
class CVNTuneSettings
{
public:
    struct Setting
    {
        QString group;
        DevicePropertyInt* property = nullptr;
        QString word; // the command word, for writing it back directly
        int value = 0;
    };

    // Reads every (group, property) now, in order; false when one could
    // not be read (its group in *unreadable), and nothing is kept then.
    [[nodiscard]] bool save(const QList<QPair<QString, DevicePropertyInt*>>& properties, QStringList* unreadable);
    bool isSaved() const { return !m_settings.isEmpty(); }
    QStringList groups() const;

    // Writes back every setting but those of the groups in `keep`, through
    // its property, or directly when the property is gone; then forgets
    // them all. Returns the groups that could not be written back.
    QStringList restore(CVNDevice* device, const QStringList& keep = QStringList());
    // The same, every setting straight over the command channel: for when
    // the properties are going away.
    QStringList restoreDirectly(CVNDevice* device);
    // A property goes away: its setting will be written back directly.
    void forget(const CVNProperty* property);
    void clear() { m_settings.clear(); }

private:
    QList<Setting> m_settings;
};
