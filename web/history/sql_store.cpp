#include "web/history/sql_store.h"

#include <algorithm>
#include <cstdio>

#include "web/history/postgresql_connection.h"
#include "web/history/schema.h"
#include "web/history/sqlite_connection.h"

namespace web::history {
namespace {

// Identities remembered between facts; past this the cache starts again (the file has them all).
constexpr size_t kPlayersCached = 100000;
// A batch another writer's transaction deadlocked, or whose connection was lost, is tried again.
constexpr int kWriteAttempts = 3;
// Kills written by one statement: 14 values each, well within both databases' bounds.
constexpr size_t kKillsPerInsert = 64;

std::string kills_insert(size_t rows) {
    std::string sql =
        "INSERT INTO kills (match_id, at_ms, killer_id, victim_id, weapon, headshot, team_kill, suicide, "
        "killer_x, killer_y, killer_z, victim_x, victim_y, victim_z) VALUES ";
    for (size_t row = 0; row < rows; ++row)
        sql += row ? ", (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)" : "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    return sql;
}

void bind_kill(Statement &insert, int64_t match_id, int64_t killer_id, int64_t victim_id, const Fact &fact) {
    if (match_id)
        insert.bind(match_id);
    else
        insert.bind_null();
    insert.bind(fact.at_ms)
        .bind(killer_id)
        .bind(victim_id)
        .bind(fact.weapon)
        .bind(int64_t{fact.headshot})
        .bind(int64_t{fact.team_kill})
        .bind(int64_t{fact.suicide})
        .bind_optional(fact.killer_at.known, fact.killer_at.x)
        .bind_optional(fact.killer_at.known, fact.killer_at.y)
        .bind_optional(fact.killer_at.known, fact.killer_at.z)
        .bind_optional(fact.victim_at.known, fact.victim_at.x)
        .bind_optional(fact.victim_at.known, fact.victim_at.y)
        .bind_optional(fact.victim_at.known, fact.victim_at.z);
}

// The five figures, in the order the totals and the days' tables have them.
Statement &bind_figures(Statement &statement, const PlayerFigures &f) {
    return statement.bind(f.kills).bind(f.deaths).bind(f.headshots).bind(f.team_kills).bind(f.time_played_ms);
}

// The id an INSERT ... RETURNING id gave the new row; 0 when it failed.
int64_t returned_id(Statement &insert) {
    const int64_t id = insert.step() ? insert.integer(0) : 0;
    insert.run();
    return id;
}

}  // namespace

bool SqlStore::open_connections(Dialect dialect, const std::string &target, std::unique_ptr<Connection> *writer,
                                std::unique_ptr<Connection> *reader, std::string *error) {
    std::string why;
    if (dialect == Dialect::postgresql) {
        if (!(*writer = open_postgresql(target, error)) || !migrate(**writer, postgresql_label(target), error))
            return false;
        *reader = open_postgresql(target, error);
        return *reader != nullptr;
    }
    if (!(*writer = open_sqlite(target, false, &why))) {
        *error = target + ": " + why;
        return false;
    }
    // The version is read before anything is set: a newer file is left exactly as it was.
    if (!migrate(**writer, target, error))
        return false;
    // WAL: readers never wait for the writer; NORMAL: a crash of the process loses nothing committed.
    if (!(*writer)->execute("PRAGMA journal_mode = WAL", &why) || !(*writer)->execute("PRAGMA synchronous = NORMAL") ||
        !(*reader = open_sqlite(target, true, &why)) || !(*reader)->execute("PRAGMA query_only = 1", &why)) {
        *error = target + ": " + why;
        return false;
    }
    return true;
}

std::unique_ptr<SqlStore> SqlStore::open(Dialect dialect, const std::string &target, std::string *error) {
    std::unique_ptr<Connection> writer, reader;
    if (!open_connections(dialect, target, &writer, &reader, error))
        return nullptr;
    const std::string label = dialect == Dialect::postgresql ? postgresql_label(target) : target;
    std::unique_ptr<SqlStore> store(new SqlStore(std::move(writer), std::move(reader), label));
    std::string why;
    if (!store->prepare_statements(&why)) {
        *error = label + ": " + why;
        return nullptr;
    }
    store->close_every_leftover();
    return store;
}

// Written in the words both databases take: upserts with ON CONFLICT, new rows' ids by RETURNING.
bool SqlStore::prepare_statements(std::string *error) {
    const std::pair<std::unique_ptr<Statement> *, const char *> statements[] = {
        {&insert_server_, "INSERT INTO servers (name, first_ms) VALUES (?, ?) ON CONFLICT (name) DO NOTHING"},
        {&find_server_, "SELECT id FROM servers WHERE name = ?"},
        {&insert_match_,
         "INSERT INTO matches (server_id, map, start_ms, recording, recording_start_ms) VALUES (?, ?, ?, ?, ?) "
         "RETURNING id"},
        {&end_match_, "UPDATE matches SET end_ms = ? WHERE id = ?"},
        {&insert_score_,
         "INSERT INTO match_scores (match_id, team, score) VALUES (?, ?, ?) "
         "ON CONFLICT (match_id, team) DO UPDATE SET score = excluded.score"},
        {&upsert_player_,
         "INSERT INTO players (identity, kind, auth_id, name, first_ms, last_ms) VALUES (?, ?, ?, ?, ?, ?) "
         "ON CONFLICT (identity) DO UPDATE SET name = excluded.name, last_ms = excluded.last_ms RETURNING id"},
        {&upsert_name_,
         "INSERT INTO player_names (player_id, name, first_ms, last_ms) VALUES (?, ?, ?, ?) "
         "ON CONFLICT (player_id, name) DO UPDATE SET last_ms = excluded.last_ms"},
        {&insert_session_,
         "INSERT INTO sessions (player_id, server_id, match_id, join_ms, team) VALUES (?, ?, ?, ?, ?) RETURNING id"},
        {&close_session_, "UPDATE sessions SET leave_ms = ? WHERE id = ?"},
        {&name_match_, "UPDATE matches SET map = ? WHERE id = ?"},
        {&set_team_, "UPDATE sessions SET team = ? WHERE id = ?"},
        {&session_figures_add_,
         "UPDATE sessions SET kills = kills + ?, deaths = deaths + ?, headshots = headshots + ?, "
         "team_kills = team_kills + ? WHERE id = ?"},
        {&totals_add_,
         "INSERT INTO player_totals (player_id, kills, deaths, headshots, team_kills, time_ms) "
         "VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (player_id) DO UPDATE SET "
         "kills = player_totals.kills + excluded.kills, deaths = player_totals.deaths + excluded.deaths, "
         "headshots = player_totals.headshots + excluded.headshots, "
         "team_kills = player_totals.team_kills + excluded.team_kills, "
         "time_ms = player_totals.time_ms + excluded.time_ms"},
        {&days_add_,
         "INSERT INTO player_days (day, server_id, player_id, kills, deaths, headshots, team_kills, time_ms) "
         "VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (day, server_id, player_id) DO UPDATE SET "
         "kills = player_days.kills + excluded.kills, deaths = player_days.deaths + excluded.deaths, "
         "headshots = player_days.headshots + excluded.headshots, "
         "team_kills = player_days.team_kills + excluded.team_kills, time_ms = player_days.time_ms + excluded.time_ms"},
        {&insert_chat_, "INSERT INTO chat (match_id, at_ms, player_id, team_only, text) VALUES (?, ?, ?, ?, ?)"},
        {&rename_player_, "UPDATE players SET name = ? WHERE id = ?"},
        {&player_seen_, "UPDATE players SET last_ms = ? WHERE id = ? AND last_ms < ?"},
    };
    insert_kills_ = db_->prepare(kills_insert(kKillsPerInsert));
    for (const auto &[statement, sql] : statements) {
        *statement = db_->prepare(sql);
        if ((*statement)->failed()) {
            *error = std::string("preparing \"") + sql + "\": " + db_->last_error();
            return false;
        }
    }
    return true;
}

// What a stop without its end left open (a crash, a kill): ended at their last known moment, no
// time played credited for sessions nobody saw end. Only a server no other gateway is writing:
// one whose claim this connection can take.
void SqlStore::close_leftovers(int64_t server_id) {
    std::unique_ptr<Statement> sessions =
        db_->prepare("UPDATE sessions SET leave_ms = join_ms WHERE leave_ms IS NULL AND server_id = ?");
    sessions->bind(server_id).run();
    std::unique_ptr<Statement> matches = db_->prepare(
        "UPDATE matches SET end_ms = coalesce((SELECT max(at_ms) FROM kills WHERE kills.match_id = matches.id), "
        "start_ms) WHERE end_ms IS NULL AND server_id = ?");
    matches->bind(server_id).run();
}

void SqlStore::close_every_leftover() {
    std::vector<int64_t> servers;
    std::unique_ptr<Statement> all = db_->prepare("SELECT id FROM servers ORDER BY id");
    while (all->step())
        servers.push_back(all->integer(0));
    for (const int64_t id : servers) {
        if (!db_->claim(id))
            continue;
        Transaction transaction(*db_);
        close_leftovers(id);
        transaction.commit();
        db_->release(id);
    }
}

bool SqlStore::write_once(const std::vector<Fact> &facts) {
    Transaction transaction(*db_);
    if (!transaction.open())
        return false;  // nothing written outside a transaction
    for (const Fact &fact : facts)
        take(fact);
    const bool kills = flush_kills(), figures = flush_figures();
    return kills && figures && transaction.commit();
}

bool SqlStore::write(const std::vector<Fact> &facts, std::string *error) {
    for (int attempt = 1;; ++attempt) {
        const std::map<std::string, ServerNow> before = servers_;
        if (write_once(facts))
            return true;
        // What was kept in memory may name rows that were rolled back: back to before the batch.
        servers_ = before;
        forget_state();
        if (!db_->retryable() || attempt == kWriteAttempts) {
            *error = label_ + ": " + db_->last_error();
            return false;
        }
    }
}

void SqlStore::forget_state() {
    pending_kills_.clear();
    players_.clear();
    session_figures_.clear();
    total_figures_.clear();
    day_figures_.clear();
}

void SqlStore::take(const Fact &fact) {
    ServerNow &now = server(fact.server, fact.at_ms);
    // A match starting is where this gateway takes over from one that has gone.
    if (!now.claimed && now.id != 0 && fact.type == Fact::Type::match_start)
        claim(fact.server, now);
    if (!now.claimed)
        return;
    switch (fact.type) {
        case Fact::Type::match_start:
            start_match(now, fact);
            break;
        case Fact::Type::match_map:
            if (now.match_id)
                name_match_->bind(fact.map).bind(now.match_id).run();
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
            rename_player_->bind(fact.text).bind(open.player_id).run();
            break;
        }
        case Fact::Type::kill:
            take_kill(now, fact);
            break;
        case Fact::Type::chat:
            insert_chat_->bind(now.match_id ? now.match_id : int64_t{0})
                .bind(fact.at_ms)
                .bind(session(now, fact, fact.player).player_id)
                .bind(int64_t{fact.team_only})
                .bind(fact.text)
                .run();
            break;
    }
}

SqlStore::ServerNow &SqlStore::server(const std::string &name, int64_t at_ms) {
    ServerNow &now = servers_[name];
    if (now.id == 0) {
        insert_server_->bind(name).bind(at_ms).run();
        find_server_->bind(name);
        if (find_server_->step())
            now.id = find_server_->integer(0);
        find_server_->reset();
    }
    // Claimed once, and again after the connection was made anew, which lets every claim go.
    if (now.id != 0 && (now.claimed_in == 0 || (now.claimed && now.claimed_in != db_->generation())))
        claim(name, now);
    return now;
}

bool SqlStore::claim(const std::string &name, ServerNow &now) {
    const bool had = now.claimed, first = now.claimed_in == 0;
    now.claimed = db_->claim(now.id);
    now.claimed_in = db_->generation();
    if (now.claimed && !had) {
        // Nobody else writes it: what is open there was left by a gateway that stopped.
        close_leftovers(now.id);
        if (!first)
            std::fprintf(stderr, "orlex_web: history: %s's history is written by this gateway again\n", name.c_str());
    } else if (!now.claimed && (had || first)) {
        now.sessions.clear();
        now.match_id = 0;
        std::fprintf(stderr,
                     "orlex_web: history: another gateway writes %s's history into %s; this one leaves it to that "
                     "one until a match starts there after it has gone\n",
                     name.c_str(), label_.c_str());
    }
    return now.claimed;
}

int64_t SqlStore::player_id(const PlayerRef &player, const std::string &server, int64_t at_ms) {
    const std::string identity = identity_of(player, server);
    if (const auto known = players_.find(identity); known != players_.end())
        return known->second;
    if (players_.size() >= kPlayersCached)
        players_.clear();
    const IdentityKind kind = identity_kind(player.auth_id);
    upsert_player_->bind(identity)
        .bind(std::string(identity_kind_name(kind)))
        .bind(kind == IdentityKind::auth ? player.auth_id : std::string())
        .bind(player.name)
        .bind(at_ms)
        .bind(at_ms);
    int64_t id = 0;
    if (upsert_player_->step())
        id = upsert_player_->integer(0);
    upsert_player_->reset();
    if (id != 0)
        players_[identity] = id;
    return id;
}

void SqlStore::touch_name(int64_t player, const std::string &name, int64_t at_ms) {
    upsert_name_->bind(player).bind(name).bind(at_ms).bind(at_ms).run();
}

// The player's open session on the server, opened now (in the match under way) when there is none
// or when the user id now names someone else.
const SqlStore::OpenSession &SqlStore::session(ServerNow &now, const Fact &fact, const PlayerRef &player) {
    const int64_t id = player_id(player, fact.server, fact.at_ms);
    const auto open = now.sessions.find(player.user_id);
    if (open != now.sessions.end() && open->second.player_id == id) {
        if (!player.team.empty() && player.team != open->second.team) {
            open->second.team = player.team;
            set_team_->bind(player.team).bind(open->second.id).run();
        }
        return open->second;
    }
    if (open != now.sessions.end())
        close_session(now, player.user_id, fact.at_ms);
    touch_name(id, player.name, fact.at_ms);
    insert_session_->bind(id).bind(now.id);
    if (now.match_id)
        insert_session_->bind(now.match_id);
    else
        insert_session_->bind_null();
    insert_session_->bind(fact.at_ms).bind(player.team);
    OpenSession &made = now.sessions[player.user_id];
    made = {returned_id(*insert_session_), id, fact.at_ms, player.team};
    return made;
}

void SqlStore::close_session(ServerNow &now, int user_id, int64_t at_ms) {
    const auto open = now.sessions.find(user_id);
    if (open == now.sessions.end())
        return;
    const OpenSession session = open->second;
    now.sessions.erase(open);
    close_session_->bind(at_ms).bind(session.id).run();
    player_seen_->bind(at_ms).bind(session.player_id).bind(at_ms).run();
    PlayerFigures played;
    played.time_played_ms = std::max<int64_t>(0, at_ms - session.join_ms);
    add_figures(session, now.id, played);
}

void SqlStore::end_match(ServerNow &now, int64_t at_ms, const std::vector<std::pair<std::string, int>> &scores) {
    while (!now.sessions.empty())
        close_session(now, now.sessions.begin()->first, at_ms);
    if (!now.match_id)
        return;
    end_match_->bind(at_ms).bind(now.match_id).run();
    for (const auto &[team, score] : scores)
        insert_score_->bind(now.match_id).bind(team).bind(int64_t{score}).run();
    now.match_id = 0;
}

void SqlStore::start_match(ServerNow &now, const Fact &fact) {
    end_match(now, fact.at_ms, {});
    insert_match_->bind(now.id).bind(fact.map).bind(fact.at_ms);
    if (fact.recording.empty())
        insert_match_->bind_null().bind_null();
    else
        insert_match_->bind(fact.recording).bind(fact.recording_start_ms);
    now.match_id = returned_id(*insert_match_);
}

void SqlStore::take_kill(ServerNow &now, const Fact &fact) {
    const OpenSession killer = session(now, fact, fact.player);
    const OpenSession victim = fact.suicide ? killer : session(now, fact, fact.victim);
    pending_kills_.push_back({now.match_id, killer.player_id, victim.player_id, &fact});
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

void SqlStore::add_figures(const OpenSession &session, int64_t server_id, const PlayerFigures &figures) {
    if (figures.kills || figures.deaths || figures.headshots || figures.team_kills)
        session_figures_[session.id] += figures;
    total_figures_[session.player_id] += figures;
    day_figures_[{session.join_ms / kDayMs, server_id, session.player_id}] += figures;
}

// A batch's kills, many rows to a statement: a networked database answers each statement over
// the wire, and a busy history is mostly kills.
bool SqlStore::flush_kills() {
    bool good = true;
    size_t done = 0;
    while (done < pending_kills_.size()) {
        const size_t rows = std::min(kKillsPerInsert, pending_kills_.size() - done);
        std::unique_ptr<Statement> tail;
        Statement &insert = rows == kKillsPerInsert ? *insert_kills_ : *(tail = db_->prepare(kills_insert(rows)));
        for (size_t row = done; row < done + rows; ++row) {
            const PendingKill &kill = pending_kills_[row];
            bind_kill(insert, kill.match_id, kill.killer_id, kill.victim_id, *kill.fact);
        }
        good = insert.run() && good;
        done += rows;
    }
    pending_kills_.clear();
    return good;
}

// A batch's figures, summed in memory: one update per session, player and day touched.
bool SqlStore::flush_figures() {
    bool good = true;
    for (const auto &[id, f] : session_figures_)
        good = session_figures_add_->bind(f.kills).bind(f.deaths).bind(f.headshots).bind(f.team_kills).bind(id).run() &&
               good;
    for (const auto &[id, f] : total_figures_)
        good = bind_figures(totals_add_->bind(id), f).run() && good;
    for (const auto &[key, f] : day_figures_)
        good = bind_figures(days_add_->bind(std::get<0>(key)).bind(std::get<1>(key)).bind(std::get<2>(key)), f).run() &&
               good;
    session_figures_.clear();
    total_figures_.clear();
    day_figures_.clear();
    return good;
}

size_t SqlStore::trim(int64_t before_ms, size_t rows) {
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
        Transaction transaction(*db_);
        std::unique_ptr<Statement> statement = db_->prepare(sql);
        statement->bind(before_ms).bind(static_cast<int64_t>(rows - deleted));
        if (!statement->run())
            continue;
        const int64_t changed = statement->changes();
        if (transaction.commit() && changed > 0)
            deleted += static_cast<size_t>(changed);
    }
    return deleted;
}

}  // namespace web::history
