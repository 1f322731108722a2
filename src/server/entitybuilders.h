#pragma once

// The composite entity classes (settings, calibration, cells, frames,
// diagnostics, tuning, touches, TUIO) live in libraries above the interface
// model, which cannot name them. Each such library offers one function that
// registers its entity builders and installs its HID exchanges; this calls
// them all, once per process, before the first interface is built.
void registerEntityBuilders();
