// The host's door into the plug-in: description, attach and detach.
#include "host/cvars.h"
#include "host/engine.h"
#include "net/tcp_server.h"
#include "plugin/dllapi.h"
#include "plugin/exports.h"
#include "plugin/listener_start.h"

// Only "before" hooks: the plug-in observes and never needs the game's results.
static constexpr META_FUNCTIONS gMetaFunctionTable = {
    nullptr,             // pfnGetEntityAPI
    nullptr,             // pfnGetEntityAPI_Post
    GetEntityAPI2,       // pfnGetEntityAPI2
    nullptr,             // pfnGetEntityAPI2_Post
    nullptr,             // pfnGetNewDLLFunctions
    nullptr,             // pfnGetNewDLLFunctions_Post
    GetEngineFunctions,  // pfnGetEngineFunctions
    nullptr,             // pfnGetEngineFunctions_Post
};

// Seconds of server time between attach and the opening of the listener.
static const float LISTEN_DELAY = 5.0f;

extern "C" int Meta_Query(const char * /*ifvers*/, plugin_info_t **pPlugInfo, mutil_funcs_t *pMetaUtilFuncs) {
    *pPlugInfo = &Plugin_info;
    gpMetaUtilFuncs = pMetaUtilFuncs;
    return 1;
}

static void log_attach_error(const char *text) {
    if (gpMetaUtilFuncs && gpMetaUtilFuncs->pfnLogError)
        gpMetaUtilFuncs->pfnLogError(&Plugin_info, "%s", text);
}

extern "C" int Meta_Attach(PLUG_LOADTIME /*now*/, META_FUNCTIONS *pFunctionTable, meta_globals_t *pMGlobals,
                           gamedll_funcs_t * /*pGamedllFuncs*/) {
    if (!pMGlobals) {
        log_attach_error("Meta_Attach called with null pMGlobals");
        return 0;
    }
    gpMetaGlobals = pMGlobals;
    if (!pFunctionTable) {
        log_attach_error("Meta_Attach called with null pFunctionTable");
        return 0;
    }
    *pFunctionTable = gMetaFunctionTable;
    register_cvars();
    report_slot_changes_to(adjustPool);
    fStartListening = server_time() + LISTEN_DELAY;
    update_next_due();
    return 1;
}

extern "C" int Meta_Detach(PLUG_LOADTIME /*now*/, PL_UNLOAD_REASON /*reason*/) {
    tcp_serv.stoplistening();
    if (gpMetaUtilFuncs && gpMetaUtilFuncs->pfnLogMessage)
        gpMetaUtilFuncs->pfnLogMessage(&Plugin_info, "Shutting down");
    return 1;
}
