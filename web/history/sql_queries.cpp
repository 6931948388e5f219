// The pages' queries, on the read-only connection. Their text is made of fixed pieces only; every
// value the asker gave is a bound parameter.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <string>
#include <unordered_map>

#include "web/history/sql_store.h"

namespace web::history {
namespace {

constexpr int kNamesListed = 10;
constexpr int kNamesOfOne = 50;
constexpr int kSessionsShown = 20;
constexpr int kMatchesShown = 10;
constexpr int kKillsShown = 5000;  // a long match's kill list, bounded

PlayerFigures figures_at(const Statement &row, int first) {
    return {row.integer(first), row.integer(first + 1), row.integer(first + 2), row.integer(first + 3),
            row.integer(first + 4)};
}

// The first day of the period asked for; 0, every day, when it is all time.
int64_t first_day_of(const PlayerQuery &query, int64_t now_ms) {
    return query.days == 0 ? 0 : (now_ms - int64_t{query.days} * kDayMs) / kDayMs;
}

// A LIKE pattern that finds the text anywhere, its own % and _ taken as themselves.
std::string containing(const std::string &text) {
    std::string pattern = "%";
    for (const char c : text) {
        if (c == '%' || c == '_' || c == '!')
            pattern += '!';
        pattern += c;
    }
    return pattern + "%";
}

const char *order_of(PlayerQuery::Sort sort) {
    switch (sort) {
        case PlayerQuery::Sort::kd:
            return " ORDER BY CAST(t.kills AS DOUBLE PRECISION) / (CASE WHEN t.deaths > 1 THEN t.deaths ELSE 1 END) "
                   "DESC, t.kills DESC, p.id";
        case PlayerQuery::Sort::time:
            return " ORDER BY t.time_ms DESC, p.id";
        case PlayerQuery::Sort::kills:
            break;
    }
    return " ORDER BY t.kills DESC, p.id";
}

// All time on every server from the totals; a period or a server from the days' sums. A day's
// figures fit 32 bits: PostgreSQL sums those in 64, where it would sum 64-bit ones as decimals.
std::string players_sql(const PlayerQuery &query) {
    std::string sql =
        "SELECT p.id, p.name, p.auth_id, p.kind, t.kills, t.deaths, t.headshots, t.team_kills, t.time_ms FROM ";
    if (query.days == 0 && query.server.empty()) {
        sql += "player_totals t";
    } else {
        sql +=
            "(SELECT player_id, sum(CAST(kills AS INTEGER)) AS kills, sum(CAST(deaths AS INTEGER)) AS deaths, "
            "sum(CAST(headshots AS INTEGER)) AS headshots, sum(CAST(team_kills AS INTEGER)) AS team_kills, "
            "sum(CAST(time_ms AS INTEGER)) AS time_ms FROM player_days WHERE day >= ?";
        if (!query.server.empty())
            sql += " AND server_id = (SELECT id FROM servers WHERE name = ?)";
        sql += " GROUP BY player_id) t";
    }
    sql += " JOIN players p ON p.id = t.player_id";
    if (!query.text.empty()) {
        sql += " WHERE (p.id IN (SELECT player_id FROM player_names WHERE lower(name) LIKE lower(?) ESCAPE '!')";
        sql += query.by_auth ? " OR lower(p.auth_id) LIKE lower(?) ESCAPE '!')" : ")";
    }
    return sql + order_of(query.sort) + " LIMIT ? OFFSET ?";
}

}  // namespace

std::vector<std::string> SqlStore::names_of(int64_t player, int most) {
    std::unique_ptr<Statement> names =
        reader_->prepare("SELECT name FROM player_names WHERE player_id = ? ORDER BY last_ms DESC LIMIT ?");
    names->bind(player).bind(int64_t{most});
    std::vector<std::string> found;
    while (names->step())
        found.push_back(names->text(0));
    return found;
}

// A period's ranking sums every player's days in it: too much work for each page, and it changes
// slowly. Its top is kept a minute and paged from memory; searches and all-time lists go straight
// to the file (the totals' indexes answer those at once).
std::vector<PlayerRow> SqlStore::players(const PlayerQuery &query, int64_t now_ms) {
    const bool period = query.text.empty() && (query.days != 0 || !query.server.empty());
    std::vector<PlayerRow> rows;
    if (!period || query.offset + query.limit > static_cast<int>(kRankedKept)) {
        rows = player_rows(query, now_ms);
    } else {
        const std::vector<PlayerRow> &ranked = ranking(query, now_ms);
        const size_t from = std::min(ranked.size(), static_cast<size_t>(query.offset));
        const size_t to = std::min(ranked.size(), from + static_cast<size_t>(query.limit));
        rows.assign(ranked.begin() + static_cast<std::ptrdiff_t>(from),
                    ranked.begin() + static_cast<std::ptrdiff_t>(to));
    }
    for (PlayerRow &row : rows)
        row.names = names_of(row.key, kNamesListed);
    return rows;
}

const std::vector<PlayerRow> &SqlStore::ranking(const PlayerQuery &query, int64_t now_ms) {
    const int64_t first_day = first_day_of(query, now_ms);
    const std::string key =
        std::to_string(first_day) + "|" + std::to_string(static_cast<int>(query.sort)) + "|" + query.server;
    const auto now = std::chrono::steady_clock::now();
    auto kept = rankings_.find(key);
    if (kept != rankings_.end() && now - kept->second.made < kRankingKept)
        return kept->second.rows;
    if (kept == rankings_.end() && rankings_.size() >= kRankingsKept)
        rankings_.erase(std::min_element(rankings_.begin(), rankings_.end(),
                                         [](const auto &a, const auto &b) { return a.second.made < b.second.made; }));
    Ranking &made = rankings_[key];
    // PostgreSQL sums on its side, in parallel, rather than send every day of the period over.
    PlayerQuery top = query;
    top.offset = 0;
    top.limit = static_cast<int>(kRankedKept);
    made = {now, reader_->dialect() == Dialect::sqlite ? period_rows(query, first_day) : player_rows(top, now_ms)};
    return made.rows;
}

// Summed here rather than by SQL's GROUP BY: one pass over the period's days in the table's own
// order, a hash of players, and only the top sorted.
std::vector<PlayerRow> SqlStore::period_rows(const PlayerQuery &query, int64_t first_day) {
    std::string sql = "SELECT player_id, kills, deaths, headshots, team_kills, time_ms FROM player_days WHERE day >= ?";
    if (!query.server.empty())
        sql += " AND server_id = (SELECT id FROM servers WHERE name = ?)";
    std::unique_ptr<Statement> scan = reader_->prepare(sql);
    scan->bind(first_day);
    if (!query.server.empty())
        scan->bind(query.server);
    std::unordered_map<int64_t, PlayerFigures> sums;
    while (scan->step())
        sums[scan->integer(0)] += figures_at(*scan, 1);
    std::vector<std::pair<int64_t, PlayerFigures>> ranked(sums.begin(), sums.end());
    const auto before = [sort = query.sort](const auto &a, const auto &b) {
        const PlayerFigures &x = a.second, &y = b.second;
        if (sort == PlayerQuery::Sort::time && x.time_played_ms != y.time_played_ms)
            return x.time_played_ms > y.time_played_ms;
        if (sort == PlayerQuery::Sort::kd) {
            const double left = static_cast<double>(x.kills) / static_cast<double>(std::max<int64_t>(x.deaths, 1));
            const double right = static_cast<double>(y.kills) / static_cast<double>(std::max<int64_t>(y.deaths, 1));
            if (left != right)
                return left > right;
        }
        if (sort != PlayerQuery::Sort::time && x.kills != y.kills)
            return x.kills > y.kills;
        return a.first < b.first;
    };
    const size_t kept = std::min(ranked.size(), kRankedKept);
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(kept), ranked.end(), before);
    std::unique_ptr<Statement> who = reader_->prepare("SELECT name, auth_id, kind FROM players WHERE id = ?");
    std::vector<PlayerRow> rows;
    for (size_t i = 0; i < kept; ++i) {
        who->bind(ranked[i].first);
        if (who->step())
            rows.push_back({ranked[i].first, who->text(0), who->text(1), who->text(2), {}, ranked[i].second});
        who->reset();
    }
    return rows;
}

std::vector<PlayerRow> SqlStore::player_rows(const PlayerQuery &query, int64_t now_ms) {
    std::unique_ptr<Statement> statement = reader_->prepare(players_sql(query));
    if (query.days != 0 || !query.server.empty()) {
        statement->bind(first_day_of(query, now_ms));
        if (!query.server.empty())
            statement->bind(query.server);
    }
    if (!query.text.empty())
        statement->bind(containing(query.text));
    if (!query.text.empty() && query.by_auth)
        statement->bind(containing(query.text));
    statement->bind(int64_t{query.limit}).bind(int64_t{query.offset});
    std::vector<PlayerRow> rows;
    while (statement->step())
        rows.push_back({statement->integer(0),
                        statement->text(1),
                        statement->text(2),
                        statement->text(3),
                        {},
                        figures_at(*statement, 4)});
    return rows;
}

std::vector<MatchRow> SqlStore::match_rows(Statement &statement) {
    std::vector<MatchRow> rows;
    while (statement.step())
        rows.push_back({statement.integer(0),
                        statement.text(1),
                        statement.text(2),
                        statement.integer(3),
                        statement.is_null(4) ? 0 : statement.integer(4),
                        {}});
    for (MatchRow &row : rows)
        add_scores(&row);
    return rows;
}

void SqlStore::add_scores(MatchRow *match) {
    std::unique_ptr<Statement> scores =
        reader_->prepare("SELECT team, score FROM match_scores WHERE match_id = ? ORDER BY team");
    scores->bind(match->id);
    while (scores->step())
        match->scores.emplace_back(scores->text(0), scores->integer(1));
}

bool SqlStore::player(int64_t key, PlayerDetail *detail) {
    std::unique_ptr<Statement> found = reader_->prepare(
        "SELECT p.id, p.name, p.auth_id, p.kind, coalesce(t.kills, 0), coalesce(t.deaths, 0), "
        "coalesce(t.headshots, 0), coalesce(t.team_kills, 0), coalesce(t.time_ms, 0) "
        "FROM players p LEFT JOIN player_totals t ON t.player_id = p.id WHERE p.id = ?");
    found->bind(key);
    if (!found->step())
        return false;
    detail->player = {found->integer(0), found->text(1), found->text(2), found->text(3), {}, figures_at(*found, 4)};
    detail->player.names = names_of(key, kNamesListed);
    std::unique_ptr<Statement> names = reader_->prepare(
        "SELECT name, first_ms, last_ms FROM player_names WHERE player_id = ? ORDER BY last_ms DESC LIMIT ?");
    names->bind(key).bind(int64_t{kNamesOfOne});
    while (names->step())
        detail->names.push_back({names->text(0), names->integer(1), names->integer(2)});
    std::unique_ptr<Statement> sessions = reader_->prepare(
        "SELECT coalesce(s.match_id, 0), v.name, coalesce(m.map, ''), s.team, s.join_ms, coalesce(s.leave_ms, 0), "
        "s.kills, s.deaths, s.headshots, s.team_kills, coalesce(s.leave_ms, s.join_ms) - s.join_ms "
        "FROM sessions s JOIN servers v ON v.id = s.server_id LEFT JOIN matches m ON m.id = s.match_id "
        "WHERE s.player_id = ? ORDER BY s.join_ms DESC LIMIT ?");
    sessions->bind(key).bind(int64_t{kSessionsShown});
    while (sessions->step())
        detail->sessions.push_back({sessions->integer(0), sessions->text(1), sessions->text(2), sessions->text(3),
                                    sessions->integer(4), sessions->integer(5), figures_at(*sessions, 6)});
    std::unique_ptr<Statement> weapons = reader_->prepare(
        "SELECT weapon, count(*) FROM kills WHERE killer_id = ? AND suicide = 0 AND team_kill = 0 "
        "GROUP BY weapon ORDER BY 2 DESC, weapon");
    weapons->bind(key);
    while (weapons->step())
        detail->weapons.emplace_back(weapons->text(0), weapons->integer(1));
    std::unique_ptr<Statement> matches = reader_->prepare(
        "SELECT m.id, v.name, m.map, m.start_ms, m.end_ms FROM matches m JOIN servers v ON v.id = m.server_id "
        "WHERE m.id IN (SELECT match_id FROM sessions WHERE player_id = ? AND match_id IS NOT NULL "
        "ORDER BY join_ms DESC LIMIT 200) ORDER BY m.start_ms DESC LIMIT ?");
    matches->bind(key).bind(int64_t{kMatchesShown});
    detail->matches = match_rows(*matches);
    return true;
}

std::vector<MatchRow> SqlStore::matches(const MatchQuery &query) {
    std::string sql =
        "SELECT m.id, v.name, m.map, m.start_ms, m.end_ms FROM matches m JOIN servers v ON v.id = m.server_id";
    if (!query.server.empty())
        sql += " WHERE m.server_id = (SELECT id FROM servers WHERE name = ?)";
    sql += " ORDER BY m.start_ms DESC, m.id DESC LIMIT ? OFFSET ?";
    std::unique_ptr<Statement> statement = reader_->prepare(sql);
    if (!query.server.empty())
        statement->bind(query.server);
    statement->bind(int64_t{query.limit}).bind(int64_t{query.offset});
    return match_rows(*statement);
}

bool SqlStore::match(int64_t id, MatchDetail *detail) {
    std::unique_ptr<Statement> found = reader_->prepare(
        "SELECT m.id, v.name, m.map, m.start_ms, m.end_ms, coalesce(m.recording, ''), "
        "coalesce(m.recording_start_ms, 0) FROM matches m JOIN servers v ON v.id = m.server_id WHERE m.id = ?");
    found->bind(id);
    if (!found->step())
        return false;
    detail->match = {found->integer(0),
                     found->text(1),
                     found->text(2),
                     found->integer(3),
                     found->is_null(4) ? 0 : found->integer(4),
                     {}};
    detail->recording = found->text(5);
    detail->recording_start_ms = found->integer(6);
    add_scores(&detail->match);
    std::unique_ptr<Statement> kills = reader_->prepare(
        "SELECT k.at_ms, k.killer_id, a.name, a.auth_id, k.victim_id, b.name, b.auth_id, k.weapon, k.headshot, "
        "k.team_kill, k.killer_x, k.killer_y, k.killer_z, k.victim_x, k.victim_y, k.victim_z FROM kills k "
        "JOIN players a ON a.id = k.killer_id JOIN players b ON b.id = k.victim_id "
        "WHERE k.match_id = ? ORDER BY k.at_ms, k.id LIMIT ?");
    kills->bind(id).bind(int64_t{kKillsShown});
    while (kills->step()) {
        KillRow row{kills->integer(0),
                    kills->integer(1),
                    kills->integer(4),
                    kills->text(2),
                    kills->text(5),
                    kills->text(3),
                    kills->text(6),
                    kills->text(7),
                    kills->integer(8) != 0,
                    kills->integer(9) != 0,
                    {},
                    {}};
        if (!kills->is_null(10))
            row.killer_at = {true, kills->real(10), kills->real(11), kills->real(12)};
        if (!kills->is_null(13))
            row.victim_at = {true, kills->real(13), kills->real(14), kills->real(15)};
        detail->kills.push_back(std::move(row));
    }
    std::unique_ptr<Statement> lines = reader_->prepare(
        "SELECT p.id, p.name, p.auth_id, max(s.team), sum(s.kills), sum(s.deaths), sum(s.headshots), "
        "sum(s.team_kills), sum(coalesce(s.leave_ms, s.join_ms) - s.join_ms) FROM sessions s "
        "JOIN players p ON p.id = s.player_id WHERE s.match_id = ? GROUP BY p.id ORDER BY 5 DESC, p.id");
    lines->bind(id);
    while (lines->step())
        detail->lines.push_back(
            {lines->integer(0), lines->text(1), lines->text(2), lines->text(3), figures_at(*lines, 4)});
    return true;
}

// SQLite explains a statement with its values unbound; PostgreSQL 15 plans for values, so each
// page's gets one of the kind it is asked with.
std::string SqlStore::query_plans() {
    PlayerQuery top;
    PlayerQuery period;
    period.days = 30;
    period.server = "x";
    period.text = "a";
    struct Page {
        const char *name;
        std::string sql;
        std::vector<std::string> values;
    };
    const Page pages[] = {
        {"players, all time", players_sql(top), {"20", "0"}},
        {"players, 30 days on one server, searched", players_sql(period), {"20000", "x", "%a%", "20", "0"}},
        {"player: kills by weapon",
         "SELECT weapon, count(*) FROM kills WHERE killer_id = ? AND suicide = 0 AND team_kill = 0 GROUP BY weapon",
         {"1"}},
        {"player: sessions", "SELECT * FROM sessions WHERE player_id = ? ORDER BY join_ms DESC LIMIT 20", {"1"}},
        {"matches of a server",
         "SELECT m.id FROM matches m WHERE m.server_id = (SELECT id FROM servers WHERE name = ?) "
         "ORDER BY m.start_ms DESC, m.id DESC LIMIT ? OFFSET ?",
         {"x", "20", "0"}},
        {"match: kills", "SELECT * FROM kills k WHERE k.match_id = ? ORDER BY k.at_ms, k.id LIMIT ?", {"1", "5000"}},
        {"match: lines", "SELECT player_id, sum(kills) FROM sessions WHERE match_id = ? GROUP BY player_id", {"1"}},
    };
    const bool sqlite = reader_->dialect() == Dialect::sqlite;
    std::string text;
    for (const Page &page : pages) {
        text += std::string(page.name) + ":\n";
        std::unique_ptr<Statement> plan = reader_->prepare((sqlite ? "EXPLAIN QUERY PLAN " : "EXPLAIN ") + page.sql);
        for (const std::string &value : page.values)
            if (!sqlite)
                plan->bind(value);
        while (plan->step())
            text += "  " + plan->text(sqlite ? 3 : 0) + "\n";
        if (plan->failed())
            text += "  (" + reader_->last_error() + ")\n";
    }
    return text;
}

}  // namespace web::history
