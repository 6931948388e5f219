// What the history keeps, as the gateway hands it over: one fact per thing that happened on a
// server, in the server's order. The store resolves players, sessions and matches from them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace web::history {

// A player as one log line names them; bots and LAN ids are told apart by their auth id.
struct PlayerRef {
    int user_id = -1;
    std::string name;
    std::string auth_id;
    std::string team;  // as the line names it; empty when it does not
};

enum class IdentityKind { auth, bot, lan };
IdentityKind identity_kind(const std::string &auth_id);
const char *identity_kind_name(IdentityKind kind);
// One key per person: the auth id, or for bots and LAN ids the server and name they used.
std::string identity_of(const PlayerRef &player, const std::string &server);

struct Position {
    bool known = false;
    double x = 0, y = 0, z = 0;
};

struct Fact {
    // match_map: the map of the match under way, learnt after it started.
    enum class Type { match_start, match_map, match_end, join, leave, team, name, kill, chat };
    Type type = Type::join;
    std::string server;
    int64_t at_ms = 0;  // Unix time, milliseconds
    PlayerRef player;   // the killer of a kill
    PlayerRef victim;
    std::string map;                                  // match_start
    std::vector<std::pair<std::string, int>> scores;  // match_end
    std::string team;                                 // join, team
    std::string weapon;
    bool headshot = false, team_kill = false, suicide = false;
    Position killer_at, victim_at;
    std::string text;  // the new name; a chat line
    bool team_only = false;
    std::string recording;  // match_start: the file that records it, when the source knows
    int64_t recording_start_ms = 0;

    // What it holds in memory, for the queue's bound.
    size_t bytes() const;
};

}  // namespace web::history
