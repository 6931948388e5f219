// The engine hooks: console commands and the game's network messages.
#include "events/game_hooks.h"
#include "events/message_hooks.h"
#include "host/engine.h"
#include "host/sdk_util.h"
#include "plugin/exports.h"

// The host hands over a zero-filled table that older hosts size for fewer than 158 entries, so
// only the hooked entries are written: copying a whole table could run past the host's buffer.
static void install_engine_hooks(enginefuncs_t *table) {
    table->pfnServerCommand = ServerCommand;
    table->pfnMessageBegin = pfnMessageBegin;
    table->pfnMessageEnd = pfnMessageEnd;
    table->pfnWriteByte = pfnWriteByte;
    table->pfnWriteChar = pfnWriteChar;
    table->pfnWriteShort = pfnWriteShort;
    table->pfnWriteLong = pfnWriteLong;
    table->pfnWriteAngle = pfnWriteAngle;
    table->pfnWriteCoord = pfnWriteCoord;
    table->pfnWriteString = pfnWriteString;
    table->pfnWriteEntity = pfnWriteEntity;
}

extern "C" int GetEngineFunctions(enginefuncs_t *pengfuncsFromEngine, int *interfaceVersion) {
    if (!UTIL_TableRequestOk("GetEngineFunctions", "pengfuncsFromEngine", pengfuncsFromEngine, interfaceVersion,
                             ENGINE_INTERFACE_VERSION))
        return 0;
    install_engine_hooks(pengfuncsFromEngine);
    return 1;
}
