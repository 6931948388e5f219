// Hooks on the game's start, map start, player connections and player commands, and what they
// record for the reports.
#pragma once

#include <ctime>

#include "sdk/eiface.h"

enum { MAX_PLAYERS = 32, ADDRESS_SIZE = 254, GAME_DIR_SIZE = 256 };

extern char game_dir[GAME_DIR_SIZE];   // "cstrike", "tfc", "dod", "nsp", ...
extern std::time_t server_start_time;  // calendar time of the game's start

// Per player index 1 to 32 (0 unused): address and game time of the last connect, deaths since.
extern char client_addr[MAX_PLAYERS + 1][ADDRESS_SIZE];
extern float client_join_time[MAX_PLAYERS + 1];
extern int player_deaths[MAX_PLAYERS + 1];

// Player slots to visit: maxClients, but never past the per-player tables.
int player_slots();

// A connection taken into a slot: its address, now as its join time, no deaths yet, and its user id,
// which tells it from the slot's next connection.
void record_connection(int slot, const char *address, int user_id);
// A player in a slot whose connection was never recorded, or a different one than the slot's last
// recorded connection (the game's own bots join without the connect hook), is recorded when first
// seen, without an address.
void record_connection_if_unseen(int slot, int user_id);

void GameInit();
qboolean ClientConnect(edict_t *pEntity, const char *pszName, const char *pszAddress, char szRejectReason[128]);
void ClientCommand(edict_t *pEntity);
void ServerActivate(edict_t *pEdictList, int edictCount, int clientMax);

// Engine hook: console commands the game issues.
void ServerCommand(const char *str);
