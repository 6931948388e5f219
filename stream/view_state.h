// The latest state of a game server as its report stream tells it, folded record by record; every
// view (terminal, web) renders from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
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
    int game_port = 0;  // the port clients join on (and the remote console listens on); 0 until known
    double uptime = 0;
    double time_left = -1;            // negative: no time limit
    double world_x = 0, world_y = 0;  // the map's world box (0 until known): the radar's scale
    std::vector<Team> teams;
};

struct Player {
    int user_id = 0;  // the engine's id of the player; 0 when not given
    int slot = 0;     // the player's slot, 1 to the server's maximum; 0 when not given
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
    // Kept for the gateway's admin actions (a ban by auth id or address); never shown to a page.
    std::string auth_id;
    std::string address;
};

struct ChatLine {
    std::string kind;  // SAY, SAY_TEAM or SERVER_SAY
    std::string text;
    std::int64_t at_ms = 0;  // when it arrived (Unix time, milliseconds); 0: not known
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
    // When the records being folded arrived (Unix time, milliseconds): chat records carry no time
    // of their own, so each chat line keeps this one.
    std::int64_t now_ms = 0;
};

// The objective kinds, in the order they are shown.
const std::vector<std::string> &objective_kinds();

// Takes one record into the state; records of unknown kinds change nothing. A record over the
// limits of record_limits.h changes nothing either: false.
bool fold(State &state, const records::Record &record);

// Bytes off the wire into the state, whatever the reads' boundaries, through the bounded stream.
class Feed {
public:
    // Sees every record within the limits, parsed or not (then its type is empty), before it is
    // folded.
    using Each = std::function<void(const records::Record &)>;

    explicit Feed(size_t chat_limit = 10) { state_.chat_limit = chat_limit; }
    // Folds every record the bytes complete, as arrived now; returns the kinds folded, in order.
    std::vector<std::string> add(const char *data, size_t size, const Each &each = {});
    std::vector<std::string> add(const std::string &data, const Each &each = {}) {
        return add(data.data(), data.size(), each);
    }
    const State &state() const { return state_; }
    size_t malformed() const { return stream_.malformed(); }
    // Records dropped whole for breaking a limit of what a genuine plug-in sends.
    size_t over_limits() const { return over_limits_; }
    // The server sent more than the stream's bound without a record end: nothing more is folded.
    bool overflowed() const { return stream_.overflowed(); }

private:
    records::RecordStream stream_;
    State state_;
    size_t over_limits_ = 0;
};

}  // namespace view
