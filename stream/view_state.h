// The latest state of a game server as its report stream tells it, folded record by record; every
// view (terminal, web) renders from it.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "stream/records.h"

namespace view {

struct Team {
    std::string name;
    std::string score;
};

struct ServerInfo {
    std::string game_dir;
    std::string map;
    std::string host_name;
    std::string max_players;
    double uptime = 0;
    double time_left = -1;  // negative: no time limit
    std::vector<Team> teams;
};

struct Player {
    std::string name;
    int team = -1;  // the game's team number; -1 when in none
    double frags = 0;
    int deaths = 0;
    double health = 0;  // fractions of the maximum
    double armor = 0;
    int ping = 0;
    int loss = 0;
    double connected = 0;  // seconds
    double x = 0, y = 0, z = 0;
    bool dead = false;
};

struct ChatLine {
    std::string kind;  // SAY, SAY_TEAM or SERVER_SAY
    std::string text;
};

struct State {
    bool have_server = false;
    ServerInfo server;
    bool have_players = false;
    std::vector<Player> players;  // in the record's order
    // The latest record of each objective kind, of the game being played only.
    std::map<std::string, records::Record> objectives;
    std::deque<ChatLine> chat;  // oldest first
    size_t chat_limit = 10;
};

// The objective kinds, in the order they are shown.
const std::vector<std::string> &objective_kinds();

// Takes one record into the state; records of unknown kinds change nothing.
void fold(State &state, const records::Record &record);

// Bytes off the wire into the state, whatever the reads' boundaries.
class Feed {
public:
    explicit Feed(size_t chat_limit = 10) { state_.chat_limit = chat_limit; }
    // Folds every record the bytes complete; returns the kinds folded, in order.
    std::vector<std::string> add(const char *data, size_t size);
    std::vector<std::string> add(const std::string &data) { return add(data.data(), data.size()); }
    const State &state() const { return state_; }
    size_t malformed() const { return stream_.malformed(); }

private:
    records::RecordStream stream_;
    State state_;
};

}  // namespace view
