#include "web/history/schema.h"

#include <vector>

namespace web::history {
namespace {

// Appended to, never edited: a file made by an earlier build takes the steps after its version.
const std::vector<const char *> &migrations() {
    static const std::vector<const char *> steps = {
        // 1: servers, matches, players and their names, sessions, kills, chat, and the totals
        // that outlive retention.
        R"sql(
CREATE TABLE servers (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, first_ms INTEGER NOT NULL);
CREATE TABLE matches (
  id INTEGER PRIMARY KEY, server_id INTEGER NOT NULL, map TEXT NOT NULL,
  start_ms INTEGER NOT NULL, end_ms INTEGER, recording TEXT, recording_start_ms INTEGER);
CREATE INDEX matches_by_server ON matches (server_id, start_ms);
CREATE INDEX matches_by_start ON matches (start_ms);
CREATE TABLE match_scores (
  match_id INTEGER NOT NULL, team TEXT NOT NULL, score INTEGER NOT NULL,
  PRIMARY KEY (match_id, team)) WITHOUT ROWID;
CREATE TABLE players (
  id INTEGER PRIMARY KEY, identity TEXT NOT NULL UNIQUE, kind TEXT NOT NULL, auth_id TEXT NOT NULL,
  name TEXT NOT NULL, first_ms INTEGER NOT NULL, last_ms INTEGER NOT NULL);
CREATE INDEX players_by_auth ON players (auth_id);
CREATE TABLE player_names (
  player_id INTEGER NOT NULL, name TEXT NOT NULL, first_ms INTEGER NOT NULL, last_ms INTEGER NOT NULL,
  PRIMARY KEY (player_id, name)) WITHOUT ROWID;
CREATE TABLE sessions (
  id INTEGER PRIMARY KEY, player_id INTEGER NOT NULL, server_id INTEGER NOT NULL, match_id INTEGER,
  join_ms INTEGER NOT NULL, leave_ms INTEGER, team TEXT NOT NULL DEFAULT '',
  kills INTEGER NOT NULL DEFAULT 0, deaths INTEGER NOT NULL DEFAULT 0, headshots INTEGER NOT NULL DEFAULT 0,
  team_kills INTEGER NOT NULL DEFAULT 0);
CREATE INDEX sessions_by_player ON sessions (player_id, join_ms);
CREATE INDEX sessions_by_match ON sessions (match_id);
CREATE INDEX sessions_by_join ON sessions (join_ms);
CREATE TABLE kills (
  id INTEGER PRIMARY KEY, match_id INTEGER, at_ms INTEGER NOT NULL,
  killer_id INTEGER NOT NULL, victim_id INTEGER NOT NULL, weapon TEXT NOT NULL,
  headshot INTEGER NOT NULL, team_kill INTEGER NOT NULL, suicide INTEGER NOT NULL,
  killer_x REAL, killer_y REAL, killer_z REAL, victim_x REAL, victim_y REAL, victim_z REAL);
CREATE INDEX kills_by_match ON kills (match_id, at_ms);
CREATE INDEX kills_by_killer ON kills (killer_id, weapon, suicide, team_kill);
CREATE INDEX kills_by_time ON kills (at_ms);
CREATE TABLE chat (
  id INTEGER PRIMARY KEY, match_id INTEGER, at_ms INTEGER NOT NULL, player_id INTEGER NOT NULL,
  team_only INTEGER NOT NULL, text TEXT NOT NULL);
CREATE INDEX chat_by_time ON chat (at_ms);
CREATE TABLE player_totals (
  player_id INTEGER PRIMARY KEY, kills INTEGER NOT NULL DEFAULT 0, deaths INTEGER NOT NULL DEFAULT 0,
  headshots INTEGER NOT NULL DEFAULT 0, team_kills INTEGER NOT NULL DEFAULT 0, time_ms INTEGER NOT NULL DEFAULT 0);
CREATE INDEX player_totals_by_kills ON player_totals (kills);
CREATE INDEX player_totals_by_time ON player_totals (time_ms);
CREATE TABLE player_days (
  day INTEGER NOT NULL, server_id INTEGER NOT NULL, player_id INTEGER NOT NULL,
  kills INTEGER NOT NULL DEFAULT 0, deaths INTEGER NOT NULL DEFAULT 0, headshots INTEGER NOT NULL DEFAULT 0,
  team_kills INTEGER NOT NULL DEFAULT 0, time_ms INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (day, server_id, player_id)) WITHOUT ROWID;
CREATE INDEX player_days_by_server ON player_days (server_id, day);
)sql",
    };
    return steps;
}

}  // namespace

int schema_version() { return static_cast<int>(migrations().size()); }

bool migrate(Database &db, const std::string &path, std::string *error) {
    const int64_t found = db.single_integer("PRAGMA user_version");
    if (found < 0) {
        *error = path + ": not a history file (" + db.last_error() + ")";
        return false;
    }
    if (found > schema_version()) {
        *error = path + ": the history file is of version " + std::to_string(found) +
                 ", newer than this program knows (" + std::to_string(schema_version()) + "); it was left untouched";
        return false;
    }
    for (int64_t version = found; version < schema_version(); ++version) {
        Transaction step(db);
        std::string why;
        if (!db.execute(migrations()[static_cast<size_t>(version)], &why) ||
            !db.execute("PRAGMA user_version = " + std::to_string(version + 1), &why) || !step.commit()) {
            *error = path;
            *error += ": migrating to version " + std::to_string(version + 1) + ": ";
            *error += why;
            return false;
        }
    }
    return true;
}

}  // namespace web::history
