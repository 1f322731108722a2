#pragma once

#include <QString>

class CVNDevice;

// One command straight over a device's command channel, for work that must
// still reach the controller while its properties are going away (the
// service stopping): the tuning sequence writing back what it changed, an
// auto-tune told to stop.
namespace CVNDirectCommand
{
// True when the controller answered without an error; false when the
// device is gone, closed, has no command channel or refused.
[[nodiscard]] bool send(CVNDevice* device, const QString& word, const QString& value);
} // namespace CVNDirectCommand
