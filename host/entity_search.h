// Walking the game's entities by a field's value: a thin layer on the engine's own search.
#pragma once

#include "sdk/eiface.h"

// The next entity after pentStart (null: from the start) whose field szKeyword is szValue; null
// when there is none (the engine answers "none" with the world entity).
edict_t *UTIL_FindEntityByString(edict_t *pentStart, const char *szKeyword, const char *szValue);
edict_t *UTIL_FindEntityByClassname(edict_t *pentStart, const char *szName);
