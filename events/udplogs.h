// Chat lines of the server's own log, turned into chat records.
#pragma once

#include <cstdint>

#include "net/cstrings.h"

namespace udplogs {

// The parts of a player token: "name<userid><authid><team>", in double quotes.
struct PlayerInfo_t {
    char name[33];
    std::int32_t userid;
    char authid[39];
    char team[33];
};

extern CStrings argv;  // the words of the current log line
extern int argc;

// Splits one log line (without its line feed) into words at spaces; quoted sections keep theirs.
void ParseLogLine(const char *data);
// Queues a record for the console's say (SERVER_SAY) or a player's say or say_team line.
void HandleLogLine();
// Takes a player token apart, scanning from its end. Fields it does not supply are empty, id 0.
PlayerInfo_t ParsePlayerInfo(const char *str);

}  // namespace udplogs
