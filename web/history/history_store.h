// The history's storage, behind one interface so that another backend can follow the embedded one.
// Writes come as batches of facts, each batch one transaction; queries answer plain rows that the
// API renders for the asker's role. Everything here runs on the history thread only.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "web/history/history_facts.h"

namespace web::history {

struct PlayerFigures {
    int64_t kills = 0, deaths = 0, headshots = 0, team_kills = 0;
    int64_t time_played_ms = 0;

    PlayerFigures &operator+=(const PlayerFigures &more) {
        kills += more.kills;
        deaths += more.deaths;
        headshots += more.headshots;
        team_kills += more.team_kills;
        time_played_ms += more.time_played_ms;
        return *this;
    }
};

constexpr int64_t kDayMs = 86400000;

struct PlayerRow {
    int64_t key = 0;  // the row id: what the next call names the player by
    std::string name;
    std::string auth_id;
    std::string kind;  // auth, bot or lan
    std::vector<std::string> names;
    PlayerFigures figures;
};

struct PlayerName {
    std::string name;
    int64_t first_ms = 0, last_ms = 0;
};

struct SessionRow {
    int64_t match_id = 0;
    std::string server, map, team;
    int64_t join_ms = 0, leave_ms = 0;  // leave 0: still on
    PlayerFigures figures;
};

struct MatchRow {
    int64_t id = 0;
    std::string server, map;
    int64_t start_ms = 0, end_ms = 0;  // end 0: under way
    std::vector<std::pair<std::string, int64_t>> scores;
};

struct PlayerDetail {
    PlayerRow player;
    std::vector<PlayerName> names;
    std::vector<SessionRow> sessions;
    std::vector<std::pair<std::string, int64_t>> weapons;  // kills by weapon, most first
    std::vector<MatchRow> matches;                         // recent ones
};

struct KillRow {
    int64_t at_ms = 0;
    int64_t killer_key = 0, victim_key = 0;
    std::string killer, victim, killer_auth, victim_auth;
    std::string weapon;
    bool headshot = false, team_kill = false;
    Position killer_at, victim_at;
};

struct MatchLine {
    int64_t key = 0;
    std::string name, auth_id, team;
    PlayerFigures figures;
};

struct MatchDetail {
    MatchRow match;
    std::vector<KillRow> kills;
    std::vector<MatchLine> lines;
    std::string recording;  // empty: none known
    int64_t recording_start_ms = 0;
};

struct PlayerQuery {
    enum class Sort { kills, kd, time } sort = Sort::kills;
    std::string text;  // part of a name (or an auth id, when by_auth)
    bool by_auth = false;
    int days = 0;        // 0: all time
    std::string server;  // empty: every server
    int limit = 20, offset = 0;
};

struct MatchQuery {
    std::string server;
    int limit = 20, offset = 0;
};

class HistoryStore {
public:
    virtual ~HistoryStore() = default;
    // One transaction; false (logged by the caller) when it could not be written.
    virtual bool write(const std::vector<Fact> &facts, std::string *error) = 0;
    // Deletes at most `rows` kills, chat lines and closed sessions older than the cutoff; the
    // totals stay. Returns how many went.
    virtual size_t trim(int64_t before_ms, size_t rows) = 0;

    virtual std::vector<PlayerRow> players(const PlayerQuery &query, int64_t now_ms) = 0;
    virtual bool player(int64_t key, PlayerDetail *detail) = 0;
    virtual std::vector<MatchRow> matches(const MatchQuery &query) = 0;
    virtual bool match(int64_t id, MatchDetail *detail) = 0;
};

}  // namespace web::history
