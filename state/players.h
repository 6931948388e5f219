// The per-player tables, by player index 1 to 32 (0 unused): the address and game time of each
// slot's last connection, and the deaths since. Written by the connect hook, the death messages and
// the frame loop, read by the player report.
#pragma once

enum { MAX_PLAYERS = 32, ADDRESS_SIZE = 254 };

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
// The same for every named player in the engine's slots now: run before the player report is
// built, so that it finds every player recorded.
void record_unseen_players();

// No deaths yet, in every player slot (a new map).
void clear_player_deaths();
