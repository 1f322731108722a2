#pragma once

// Registers the builders of the auto-tune ("AutoTune") and of the guided
// tuning sequence ("TuneVasta").
void registerTuningEntities();
