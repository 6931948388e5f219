// Chat records waiting for the next connection check, and how they are made.
#pragma once

#include "net/cstrings.h"

extern CStrings tcp_say_buf;         // SAY records
extern CStrings tcp_say_team_buf;    // SAY_TEAM records
extern CStrings tcp_server_say_buf;  // SERVER_SAY records

// Queues "TYPE\tSAY\nUSER_ID\t%i\nCHAT\t%s: %s\n\n" (team: SAY_TEAM and "(TEAM)" before the name).
void queue_player_chat(bool team, int userid, const char *name, const char *text);
// Queues "TYPE\tSERVER_SAY\nCHAT\t%s\n\n".
void queue_server_chat(const char *text);
