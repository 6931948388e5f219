#include "web/history/sqlite_store.h"

#include <algorithm>

#include "web/history/schema.h"

namespace web::history {
namespace {

constexpr int64_t kDayMs = 86400000;
// Identities remembered between facts; past this the cache starts again (the file has them all).
constexpr size_t kPlayersCached = 100000;

void add_to(PlayerFigures *sum, const PlayerFigures &more) {
    sum->kills += more.kills;
    sum->deaths += more.deaths;
    sum->headshots += more.headshots;
    sum->team_kills += more.team_kills;
    sum->time_played_ms += more.time_played_ms;
}

}  // namespace

std::unique_ptr<SqliteStore> SqliteStore::open(const std::string &path, std::string *error) {
    std::unique_ptr<SqliteStore> store(new SqliteStore());
    store->path_ = path;
    std::string why;
    if (!store->db_.open(path, false, &why)) {
        *error = path + ": " + why;
        return nullptr;
    }
    // The version is read before anything is set: a newer file is left exactly as it was.
    if (!migrate(store->db_, path, error))
        return nullptr;
    // WAL: readers never wait for the writer; NORMAL: a crash of the process loses nothing committed.
    if (!store->db_.execute("PRAGMA journal_mode = WAL", &why) || !store->db_.execute("PRAGMA synchronous = NORMAL") ||
        !store->reader_.open(path, true, &why) || !store->reader_.execute("PRAGMA query_only = 1", &why) ||
        !store->prepare_statements(&why)) {
        *error = path + ": " + why;
        return nullptr;
    }
    store->close_leftovers();
    return store;
}

bool SqliteStore::prepare_statements(std::string *error) {
    const std::pair<Statement *, const char *> statements[] = {
        {&insert_server_, "INSERT INTO servers (name, first_ms) VALUES (?, ?) ON CONFLICT (name) DO NOTHING"},
        {&find_server_, "SELECT id FROM servers WHERE name = ?"},
        {&insert_match_,
         "INSERT INTO matches (server_id, map, start_ms, recording, recording_start_ms) VALUES (?, ?, ?, ?, ?)"},
        {&end_match_, "UPDATE matches SET end_ms = ? WHERE id = ?"},
        {&insert_score_, "INSERT OR REPLACE INTO match_scores (match_id, team, score) VALUES (?, ?, ?)"},
        {&upsert_player_,
         "INSERT INTO players (identity, kind, auth_id, name, first_ms, last_ms) VALUES (?, ?, ?, ?, ?, ?) "
         "ON CONFLICT (identity) DO UPDATE SET name = excluded.name, last_ms = excluded.last_ms RETURNING id"},
        {&upsert_name_,
         "INSERT INTO player_names (player_id, name, first_ms, last_ms) VALUES (?, ?, ?, ?) "
         "ON CONFLICT (player_id, name) DO UPDATE SET last_ms = excluded.last_ms"},
        {&insert_session_,
         "INSERT INTO sessions (player_id, server_id, match_id, join_ms, team) VALUES (?, ?, ?, ?, ?)"},
        {&close_session_, "UPDATE sessions SET leave_ms = ? WHERE id = ?"},
        {&name_match_, "UPDATE matches SET map = ? WHERE id = ?"},
        {&set_team_, "UPDATE sessions SET team = ? WHERE id = ?"},
        {&session_figures_add_,
         "UPDATE sessions SET kills = kills + ?, deaths = deaths + ?, headshots = headshots + ?, "
         "team_kills = team_kills + ? WHERE id = ?"},
        {&totals_add_,
         "INSERT INTO player_totals (player_id, kills, deaths, headshots, team_kills, time_ms) "
         "VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (player_id) DO UPDATE SET kills = kills + excluded.kills, "
         "deaths = deaths + excluded.deaths, headshots = headshots + excluded.headshots, "
         "team_kills = team_kills + excluded.team_kills, time_ms = time_ms + excluded.time_ms"},
        {&days_add_,
         "INSERT INTO player_days (day, server_id, player_id, kills, deaths, headshots, team_kills, time_ms) "
         "VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (day, server_id, player_id) DO UPDATE SET "
         "kills = kills + excluded.kills, deaths = deaths + excluded.deaths, "
         "headshots = headshots + excluded.headshots, team_kills = team_kills + excluded.team_kills, "
         "time_ms = time_ms + excluded.time_ms"},
        {&insert_kill_,
         "INSERT INTO kills (match_id, at_ms, killer_id, victim_id, weapon, headshot, team_kill, suicide, "
         "killer_x, killer_y, killer_z, victim_x, victim_y, victim_z) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
         "?)"},
        {&insert_chat_, "INSERT INTO chat (match_id, at_ms, player_id, team_only, text) VALUES (?, ?, ?, ?, ?)"},
        {&rename_player_, "UPDATE players SET name = ? WHERE id = ?"},
        {&player_seen_, "UPDATE players SET last_ms = max(last_ms, ?) WHERE id = ?"},
    };
    for (const auto &[statement, sql] : statements) {
        *statement = db_.prepare(sql);
        if (!statement->ok()) {
            *error = std::string("preparing \"") + sql + "\": " + db_.last_error();
            return false;
        }
    }
    return true;
}

// What a stop without its end left open (a crash, a kill): ended at their last known moment, no
// time played credited for sessions nobody saw end.
void SqliteStore::close_leftovers() {
    Transaction transaction(db_);
    db_.execute("UPDATE sessions SET leave_ms = join_ms WHERE leave_ms IS NULL");
    db_.execute(
        "UPDATE matches SET end_ms = coalesce((SELECT max(at_ms) FROM kills WHERE kills.match_id = matches.id), "
        "start_ms) WHERE end_ms IS NULL");
    transaction.commit();
}

bool SqliteStore::write(const std::vector<Fact> &facts, std::string *error) {
    Transaction transaction(db_);
    for (const Fact &fact : facts)
        take(fact);
    if (flush_figures() && transaction.commit())
        return true;
    *error = path_ + ": " + db_.last_error();
    // What was kept in memory may name rows that were rolled back.
    forget_state();
    return false;
}

void SqliteStore::forget_state() {
    servers_.clear();
    players_.clear();
    session_figures_.clear();
    total_figures_.clear();
    day_figures_.clear();
}

void SqliteStore::take(const Fact &fact) {
    ServerNow &now = server(fact.server, fact.at_ms);
    switch (fact.type) {
        case Fact::Type::match_start:
            start_match(now, fact);
            break;
        case Fact::Type::match_map:
            if (now.match_id)
                name_match_.bind(fact.map).bind(now.match_id).run();
            break;
        case Fact::Type::match_end:
            end_match(now, fact.at_ms, fact.scores);
            break;
        case Fact::Type::join:
            session(now, fact, fact.player);
            break;
        case Fact::Type::leave:
            close_session(now, fact.player.user_id, fact.at_ms);
            break;
        case Fact::Type::team: {
            PlayerRef joined = fact.player;
            joined.team = fact.team;
            session(now, fact, joined);
            break;
        }
        case Fact::Type::name: {
            PlayerRef renamed = fact.player;
            renamed.name = fact.text;
            const OpenSession &open = session(now, fact, renamed);
            touch_name(open.player_id, fact.text, fact.at_ms);
            rename_player_.bind(fact.text).bind(open.player_id).run();
            break;
        }
        case Fact::Type::kill:
            take_kill(now, fact);
            break;
        case Fact::Type::chat:
            insert_chat_.bind(now.match_id ? now.match_id : int64_t{0})
                .bind(fact.at_ms)
                .bind(session(now, fact, fact.player).player_id)
                .bind(int64_t{fact.team_only})
                .bind(fact.text)
                .run();
            break;
    }
}

SqliteStore::ServerNow &SqliteStore::server(const std::string &name, int64_t at_ms) {
    ServerNow &now = servers_[name];
    if (now.id != 0)
        return now;
    insert_server_.bind(name).bind(at_ms).run();
    find_server_.bind(name);
    if (find_server_.step())
        now.id = find_server_.integer(0);
    find_server_.reset();
    return now;
}

int64_t SqliteStore::player_id(const PlayerRef &player, const std::string &server, int64_t at_ms) {
    const std::string identity = identity_of(player, server);
    if (const auto known = players_.find(identity); known != players_.end())
        return known->second;
    if (players_.size() >= kPlayersCached)
        players_.clear();
    const IdentityKind kind = identity_kind(player.auth_id);
    upsert_player_.bind(identity)
        .bind(std::string(identity_kind_name(kind)))
        .bind(kind == IdentityKind::auth ? player.auth_id : std::string())
        .bind(player.name)
        .bind(at_ms)
        .bind(at_ms);
    int64_t id = 0;
    if (upsert_player_.step())
        id = upsert_player_.integer(0);
    upsert_player_.reset();
    if (id != 0)
        players_[identity] = id;
    return id;
}

void SqliteStore::touch_name(int64_t player, const std::string &name, int64_t at_ms) {
    upsert_name_.bind(player).bind(name).bind(at_ms).bind(at_ms).run();
}

// The player's open session on the server, opened now (in the match under way) when there is none
// or when the user id now names someone else.
const SqliteStore::OpenSession &SqliteStore::session(ServerNow &now, const Fact &fact, const PlayerRef &player) {
    const int64_t id = player_id(player, fact.server, fact.at_ms);
    const auto open = now.sessions.find(player.user_id);
    if (open != now.sessions.end() && open->second.player_id == id) {
        if (!player.team.empty() && player.team != open->second.team) {
            open->second.team = player.team;
            set_team_.bind(player.team).bind(open->second.id).run();
        }
        return open->second;
    }
    if (open != now.sessions.end())
        close_session(now, player.user_id, fact.at_ms);
    touch_name(id, player.name, fact.at_ms);
    insert_session_.bind(id).bind(now.id);
    if (now.match_id)
        insert_session_.bind(now.match_id);
    else
        insert_session_.bind_null();
    insert_session_.bind(fact.at_ms).bind(player.team).run();
    OpenSession &made = now.sessions[player.user_id];
    made = {db_.last_row(), id, fact.at_ms, player.team};
    return made;
}

void SqliteStore::close_session(ServerNow &now, int user_id, int64_t at_ms) {
    const auto open = now.sessions.find(user_id);
    if (open == now.sessions.end())
        return;
    const OpenSession session = open->second;
    now.sessions.erase(open);
    close_session_.bind(at_ms).bind(session.id).run();
    player_seen_.bind(at_ms).bind(session.player_id).run();
    PlayerFigures played;
    played.time_played_ms = std::max<int64_t>(0, at_ms - session.join_ms);
    add_figures(session, now.id, played);
}

void SqliteStore::end_match(ServerNow &now, int64_t at_ms, const std::vector<std::pair<std::string, int>> &scores) {
    while (!now.sessions.empty())
        close_session(now, now.sessions.begin()->first, at_ms);
    if (!now.match_id)
        return;
    end_match_.bind(at_ms).bind(now.match_id).run();
    for (const auto &[team, score] : scores)
        insert_score_.bind(now.match_id).bind(team).bind(int64_t{score}).run();
    now.match_id = 0;
}

void SqliteStore::start_match(ServerNow &now, const Fact &fact) {
    end_match(now, fact.at_ms, {});
    insert_match_.bind(now.id).bind(fact.map).bind(fact.at_ms);
    if (fact.recording.empty())
        insert_match_.bind_null().bind_null();
    else
        insert_match_.bind(fact.recording).bind(fact.recording_start_ms);
    insert_match_.run();
    now.match_id = db_.last_row();
}

void SqliteStore::take_kill(ServerNow &now, const Fact &fact) {
    const OpenSession killer = session(now, fact, fact.player);
    const OpenSession victim = fact.suicide ? killer : session(now, fact, fact.victim);
    if (now.match_id)
        insert_kill_.bind(now.match_id);
    else
        insert_kill_.bind_null();
    insert_kill_.bind(fact.at_ms)
        .bind(killer.player_id)
        .bind(victim.player_id)
        .bind(fact.weapon)
        .bind(int64_t{fact.headshot})
        .bind(int64_t{fact.team_kill})
        .bind(int64_t{fact.suicide})
        .bind_optional(fact.killer_at.known, fact.killer_at.x)
        .bind_optional(fact.killer_at.known, fact.killer_at.y)
        .bind_optional(fact.killer_at.known, fact.killer_at.z)
        .bind_optional(fact.victim_at.known, fact.victim_at.x)
        .bind_optional(fact.victim_at.known, fact.victim_at.y)
        .bind_optional(fact.victim_at.known, fact.victim_at.z)
        .run();
    // As the round panel counts them: kills of the other team's players, team kills apart.
    if (!fact.suicide) {
        PlayerFigures scored;
        scored.kills = fact.team_kill ? 0 : 1;
        scored.team_kills = fact.team_kill ? 1 : 0;
        scored.headshots = !fact.team_kill && fact.headshot ? 1 : 0;
        add_figures(killer, now.id, scored);
    }
    PlayerFigures died;
    died.deaths = 1;
    add_figures(victim, now.id, died);
}

void SqliteStore::add_figures(const OpenSession &session, int64_t server_id, const PlayerFigures &figures) {
    if (figures.kills || figures.deaths || figures.headshots || figures.team_kills)
        add_to(&session_figures_[session.id], figures);
    add_to(&total_figures_[session.player_id], figures);
    add_to(&day_figures_[{session.join_ms / kDayMs, server_id, session.player_id}], figures);
}

// A batch's figures, summed in memory: one update per session, player and day touched.
bool SqliteStore::flush_figures() {
    bool good = true;
    for (const auto &[id, f] : session_figures_)
        good = session_figures_add_.bind(f.kills).bind(f.deaths).bind(f.headshots).bind(f.team_kills).bind(id).run() &&
               good;
    for (const auto &[id, f] : total_figures_)
        good = totals_add_.bind(id)
                   .bind(f.kills)
                   .bind(f.deaths)
                   .bind(f.headshots)
                   .bind(f.team_kills)
                   .bind(f.time_played_ms)
                   .run() &&
               good;
    for (const auto &[key, f] : day_figures_)
        good = days_add_.bind(std::get<0>(key))
                   .bind(std::get<1>(key))
                   .bind(std::get<2>(key))
                   .bind(f.kills)
                   .bind(f.deaths)
                   .bind(f.headshots)
                   .bind(f.team_kills)
                   .bind(f.time_played_ms)
                   .run() &&
               good;
    session_figures_.clear();
    total_figures_.clear();
    day_figures_.clear();
    return good;
}

size_t SqliteStore::trim(int64_t before_ms, size_t rows) {
    const char *deletes[] = {
        "DELETE FROM kills WHERE id IN (SELECT id FROM kills WHERE at_ms < ? ORDER BY at_ms LIMIT ?)",
        "DELETE FROM chat WHERE id IN (SELECT id FROM chat WHERE at_ms < ? ORDER BY at_ms LIMIT ?)",
        ("DELETE FROM sessions WHERE id IN (SELECT id FROM sessions WHERE join_ms < ? AND leave_ms IS NOT NULL "
         "ORDER BY join_ms LIMIT ?)"),
    };
    size_t deleted = 0;
    for (const char *sql : deletes) {
        if (deleted >= rows)
            break;
        Transaction transaction(db_);
        Statement statement = db_.prepare(sql);
        statement.bind(before_ms).bind(static_cast<int64_t>(rows - deleted));
        if (!statement.run())
            continue;
        const int64_t changed = db_.single_integer("SELECT changes()");
        if (transaction.commit() && changed > 0)
            deleted += static_cast<size_t>(changed);
    }
    return deleted;
}

}  // namespace web::history
