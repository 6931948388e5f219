#include "events/game_hooks.h"

#include "plugin/engine.h"

void GameInit() { set_result_ignored(); }

qboolean ClientConnect(edict_t * /*pEntity*/, const char * /*pszName*/, const char * /*pszAddress*/,
                       char * /*szRejectReason*/) {
    set_result_ignored();
    return 0;  // ignored by the host: the plug-in never rejects a player
}

void ClientCommand(edict_t * /*pEntity*/) { set_result_ignored(); }

void ServerActivate(edict_t * /*pEdictList*/, int /*edictCount*/, int /*clientMax*/) { set_result_ignored(); }

void ServerCommand(const char * /*str*/) { set_result_ignored(); }
