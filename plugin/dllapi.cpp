#include "plugin/dllapi.h"

#include "events/game_hooks.h"
#include "plugin/engine.h"
#include "plugin/exports.h"
#include "plugin/sdk_util.h"

float fStartListening;

void StartFrame() { set_result_ignored(); }

// The five game hooks; every other entry stays null.
static constexpr DLL_FUNCTIONS make_function_table() {
    DLL_FUNCTIONS table = {};
    table.pfnGameInit = GameInit;
    table.pfnClientConnect = ClientConnect;
    table.pfnClientCommand = ClientCommand;
    table.pfnServerActivate = ServerActivate;
    table.pfnStartFrame = StartFrame;
    return table;
}

static constexpr DLL_FUNCTIONS gFunctionTable = make_function_table();

extern "C" int GetEntityAPI2(DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion) {
    if (!pFunctionTable) {
        UTIL_LogPrintf("GetEntityAPI2 called with null pFunctionTable");
        return 0;
    }
    if (*interfaceVersion != INTERFACE_VERSION) {
        UTIL_LogPrintf("GetEntityAPI2 version mismatch; requested=%d ours=%d", *interfaceVersion, INTERFACE_VERSION);
        *interfaceVersion = INTERFACE_VERSION;
        return 0;
    }
    *pFunctionTable = gFunctionTable;
    return 1;
}
