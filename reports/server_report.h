// The SERVER record: game, map, names, addresses, password, uptime, time left, team scores.
#pragma once

void Get_Server_Data(char *server_data);
