#pragma once

// The settings store: the "DeviceSettings" property builder and the HID
// interface's settings actions. Called once, before the first interface is
// built.
void registerSettingsEntities();
