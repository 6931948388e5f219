// One event read from a server's log line: what happened, who was involved, the kind's own fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace web::log {

enum class Kind {
    kill,
    suicide,
    connect,
    enter,
    team,
    name,
    disconnect,
    chat,
    round_start,
    round_end,
    game_commencing,
    restart,
    team_win,
    objective,
    map,
    other,
};

const char *kind_name(Kind kind);

// A `"NAME<UID><AUTH><TEAM>"` token's fields.
struct LogPlayer {
    std::string name;
    int user_id = -1;
    std::string auth_id;
    std::string team;
    bool operator==(const LogPlayer &other) const {
        return name == other.name && user_id == other.user_id && auth_id == other.auth_id && team == other.team;
    }
};

struct LogEvent {
    uint64_t seq = 0;
    std::string time;  // the line's stamp, ISO 8601 local time ("2024-09-25T21:14:03")
    Kind kind = Kind::other;
    bool has_killer = false, has_victim = false, has_player = false;
    LogPlayer killer, victim, player;
    std::string weapon;
    int headshot = -1;  // -1: the line does not say
    bool team_kill = false;
    std::string text;  // chat, other; the new name of a name change; a chat's "say" or "say_team" is in `event`
    std::string team;  // joined (team), won (team_win), the objective's team
    std::vector<std::pair<std::string, int>> scores;  // team_win: ("CT", 3), ("TERRORIST", 5)
    std::string event;                                // objective's and round end's trigger, chat's command word
    std::string map;
};

}  // namespace web::log
