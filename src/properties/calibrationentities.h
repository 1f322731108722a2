#pragma once

// Registers the calibration and border entities (geometric calibration,
// touch calibration, edge snapping, border adjustment) with the interface
// builder and installs their HID exchanges. Called once, before the first
// interface is built.
void registerCalibrationEntities();
