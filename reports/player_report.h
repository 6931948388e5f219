// The PLAYER record: 21 attributes across every player on the server.
#pragma once

void Get_Players_Data(char *players_data);
