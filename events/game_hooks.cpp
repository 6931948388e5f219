#include "events/game_hooks.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "events/chat.h"
#include "host/engine.h"
#include "state/game.h"
#include "state/players.h"

void GameInit() {
    server_start_time = std::time(nullptr);
    // The engine fills a path-sized buffer; ours is cut to our size afterwards.
    char directory[260] = "";
    g_engfuncs.pfnGetGameDir(directory);
    directory[sizeof(directory) - 1] = '\0';
    snprintf(game_dir, sizeof(game_dir), "%s", directory);
    set_result_ignored();
}

qboolean ClientConnect(edict_t *pEntity, const char * /*pszName*/, const char *pszAddress, char * /*szRejectReason*/) {
    if (gpGlobals && gpGlobals->deathmatch != 0.0f) {
        for (int i = 1; i <= player_slots(); ++i) {
            if (g_engfuncs.pfnPEntityOfEntIndex(i) == pEntity)
                record_connection(i, pszAddress, g_engfuncs.pfnGetPlayerUserId(pEntity));
        }
    }
    set_result_ignored();
    return 0;  // ignored by the host: the plug-in never rejects a player
}

void ClientCommand(edict_t *pEntity) {
    if (pEntity && !(pEntity->v.flags & FL_FAKECLIENT)) {
        const char *command = or_empty(g_engfuncs.pfnCmd_Argv(0));
        const bool say = strcmp(command, "say") == 0;
        if (say || strcmp(command, "say_team") == 0)
            queue_player_chat(!say, g_engfuncs.pfnGetPlayerUserId(pEntity), string_text(pEntity->v.netname),
                              or_empty(g_engfuncs.pfnCmd_Argv(1)));
    }
    set_result_ignored();
}

void ServerActivate(edict_t * /*pEdictList*/, int /*edictCount*/, int /*clientMax*/) { set_result_ignored(); }

void ServerCommand(const char * /*str*/) { set_result_ignored(); }
