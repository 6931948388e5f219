// The PLAYER record: 21 attributes across every player on the server, from the player tables as
// they stand (the frame loop records the players it finds first: plugin/report_schedule.h).
#pragma once

void build_player_report(char *players_data);
