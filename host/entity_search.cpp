#include "host/entity_search.h"

#include "host/engine.h"

edict_t *UTIL_FindEntityByString(edict_t *pentStart, const char *szKeyword, const char *szValue) {
    edict_t *found = g_engfuncs.pfnFindEntityByString(pentStart, szKeyword, szValue);
    return found && g_engfuncs.pfnEntOffsetOfPEntity(found) != 0 ? found : nullptr;
}

edict_t *UTIL_FindEntityByClassname(edict_t *pentStart, const char *szName) {
    return UTIL_FindEntityByString(pentStart, "classname", szName);
}
