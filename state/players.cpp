#include "state/players.h"

#include <cstdio>

#include "host/engine.h"

char client_addr[MAX_PLAYERS + 1][ADDRESS_SIZE];
float client_join_time[MAX_PLAYERS + 1];
int player_deaths[MAX_PLAYERS + 1];

static bool connection_recorded[MAX_PLAYERS + 1];
static int recorded_user_id[MAX_PLAYERS + 1];

int player_slots() {
    const int max_clients = gpGlobals ? gpGlobals->maxClients : 0;
    return max_clients < 0 ? 0 : max_clients > MAX_PLAYERS ? MAX_PLAYERS : max_clients;
}

void record_connection(int slot, const char *address, int user_id) {
    if (slot < 1 || slot > MAX_PLAYERS)
        return;
    snprintf(client_addr[slot], ADDRESS_SIZE, "%s", or_empty(address));
    client_join_time[slot] = server_time();
    player_deaths[slot] = 0;
    connection_recorded[slot] = true;
    recorded_user_id[slot] = user_id;
}

void record_connection_if_unseen(int slot, int user_id) {
    if (slot < 1 || slot > MAX_PLAYERS)
        return;
    if (!connection_recorded[slot] || recorded_user_id[slot] != user_id)
        record_connection(slot, "", user_id);
}

void record_unseen_players() {
    for (int slot = 1; slot <= player_slots(); ++slot) {
        edict_t *entity = g_engfuncs.pfnPEntityOfEntIndex(slot);
        if (entity && string_text(entity->v.netname)[0] != '\0')  // a player, not a free slot
            record_connection_if_unseen(slot, g_engfuncs.pfnGetPlayerUserId(entity));
    }
}

void clear_player_deaths() {
    for (int player = 1; player <= player_slots(); ++player)
        player_deaths[player] = 0;
}
