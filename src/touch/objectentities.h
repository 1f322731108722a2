#pragma once

// Registers object recognition: the "ORConfig" builder and the recognition
// processors of the touch stream.
void registerObjectEntities();
