// The host pointers and our description: kept here, at the floor, so that every layer above links
// against them without reaching up to the entry points that fill them in.
#include "host/engine.h"

#include "host/version.h"

enginefuncs_t g_engfuncs;
globalvars_t *gpGlobals;
mutil_funcs_t *gpMetaUtilFuncs;
static meta_globals_t unattached_result;
meta_globals_t *gpMetaGlobals = &unattached_result;

plugin_info_t Plugin_info = {
    META_INTERFACE_VERSION,
    "orlex_mm",
    ORLEX_VERSION,
    "2004/03/10",
    "orlex_mm developers <orlex_mm@example.org>",
    "https://example.org/orlex_mm",
    "ORLEX",
    PT_STARTUP,   // loads only when the server starts
    PT_ANYPAUSE,  // may be paused or unloaded at any time
};
