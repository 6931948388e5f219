// The six entry points the host looks up or is handed; the only symbols the library exports.
#pragma once

#include "sdk/eiface.h"
#include "sdk/meta_api.h"

#if defined(_WIN32)
#define ORLEX_EXPORT  // listed in the module definition file instead
#else
#define ORLEX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
ORLEX_EXPORT void WINAPI GiveFnptrsToDll(enginefuncs_t *pengfuncsFromEngine, globalvars_t *pGlobals);
ORLEX_EXPORT int Meta_Query(const char *ifvers, plugin_info_t **pPlugInfo, mutil_funcs_t *pMetaUtilFuncs);
ORLEX_EXPORT int Meta_Attach(PLUG_LOADTIME now, META_FUNCTIONS *pFunctionTable, meta_globals_t *pMGlobals,
                             gamedll_funcs_t *pGamedllFuncs);
ORLEX_EXPORT int Meta_Detach(PLUG_LOADTIME now, PL_UNLOAD_REASON reason);
ORLEX_EXPORT int GetEntityAPI2(DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion);
ORLEX_EXPORT int GetEngineFunctions(enginefuncs_t *pengfuncsFromEngine, int *interfaceVersion);
}
