#pragma once

// Registers the builders of the sensor properties (frame, cell mask, blob
// rejection, foil health, grid test, shield levels) and installs their HID
// exchanges (frame, cell mask, foil health).
void registerSensorEntities();
