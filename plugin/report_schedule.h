// Which reports the current game has: the buffer each is built into, the timer that rebuilds it,
// and the request that asks for it. The frame loop builds and sends by it; requests answer by it.
#pragma once

#include "text/record.h"

enum { REPORT_BUFFERS = 6 };

// The six report texts: 0 the server report, 1 to 4 the game's objective reports, 5 the players.
extern char tcp_buffer[REPORT_BUFFERS][REPORT_BUFFER_SIZE];

enum ReportTimer { REFRESH_TIMER, SERVER_TIMER };

// Rebuilds, in order, the current game's reports that the timer rebuilds.
void build_reports(ReportTimer timer);
// Whether the current game has a report in the buffer (only those are sent in a cycle).
bool game_sends_buffer(int buffer);
// The buffer a request line asks for in the current game; -1 when the line is no such request.
int requested_buffer(const char *command);

// The PLAYER report as the frame loop builds it: every player found in the engine's slots is
// recorded first (the game's own bots join without the connect hook), then the record is built.
void Get_Players_Data(char *players_data);
