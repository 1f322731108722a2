#pragma once

class QSettings;

// Persistence hooks. The base versions do nothing.
class SettingsContext
{
public:
    virtual ~SettingsContext() = default;
    virtual void store() {}
    virtual void saveSettings(QSettings& settings) { (void)settings; }
    virtual void loadSettings(QSettings& settings) { (void)settings; }
};
