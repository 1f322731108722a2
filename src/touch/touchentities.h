#pragma once

// Registers the touch stream's entity builders ("Touches", "TouchEntities").
void registerTouchEntities();
