#pragma once

// Registers the TUIO output's entity builder ("Tuio").
void registerTuioEntities();
