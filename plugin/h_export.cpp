// The engine's door into the plug-in: its function table and globals.
#include <cstring>

#include "host/engine.h"
#include "plugin/exports.h"

#if defined(_WIN32)
#include <windows.h>

// The library's own load and unload: nothing to do.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif

extern "C" void WINAPI GiveFnptrsToDll(enginefuncs_t *pengfuncsFromEngine, globalvars_t *pGlobals) {
    // Hosts hand over a 158-entry table, which is exactly what we declare.
    memcpy(&g_engfuncs, pengfuncsFromEngine, sizeof(g_engfuncs));
    gpGlobals = pGlobals;
}
