// The history in a SQL database: the embedded SQLite file, or a PostgreSQL database that several
// gateways share. One connection writes, another reads; both live on the history thread.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "web/history/history_store.h"
#include "web/history/sql.h"

namespace web::history {

class SqlStore final : public HistoryStore {
public:
    // Opens (or makes) the history and migrates it; null with the reason, the database untouched
    // when it is newer than this program. `target`: the SQLite file's path, or PostgreSQL's
    // postgresql:// URL or "key=value" connection words (which may hold the password: no error
    // names it).
    static std::unique_ptr<SqlStore> open(Dialect dialect, const std::string &target, std::string *error);

    bool write(const std::vector<Fact> &facts, std::string *error) override;
    size_t trim(int64_t before_ms, size_t rows) override;

    std::vector<PlayerRow> players(const PlayerQuery &query, int64_t now_ms) override;
    bool player(int64_t key, PlayerDetail *detail) override;
    std::vector<MatchRow> matches(const MatchQuery &query) override;
    bool match(int64_t id, MatchDetail *detail) override;

    // Each page query's plan, as the database would run it (the benchmark prints them).
    std::string query_plans();

private:
    struct OpenSession {
        int64_t id = 0, player_id = 0, join_ms = 0;
        std::string team;
    };
    struct ServerNow {
        int64_t id = 0;
        bool claimed = false;                 // false: another gateway writes this server's history
        uint64_t claimed_in = 0;              // the connection's generation the claim was made in
        int64_t match_id = 0;                 // 0: none under way
        std::map<int, OpenSession> sessions;  // by the engine's user id
    };
    using DayKey = std::tuple<int64_t, int64_t, int64_t>;  // day, server, player

    struct Ranking {
        std::chrono::steady_clock::time_point made;
        std::vector<PlayerRow> rows;
    };
    static constexpr std::chrono::seconds kRankingKept{60};
    static constexpr size_t kRankingsKept = 16;
    static constexpr size_t kRankedKept = 5000;  // rows of a ranking kept; pages past them are asked for

    SqlStore(std::unique_ptr<Connection> writer, std::unique_ptr<Connection> reader, std::string label)
        : db_(std::move(writer)), reader_(std::move(reader)), label_(std::move(label)) {}
    static bool open_connections(Dialect dialect, const std::string &target, std::unique_ptr<Connection> *writer,
                                 std::unique_ptr<Connection> *reader, std::string *error);
    bool write_once(const std::vector<Fact> &facts);
    bool claim(const std::string &name, ServerNow &now);
    void close_leftovers(int64_t server_id);
    const std::vector<PlayerRow> &ranking(const PlayerQuery &query, int64_t now_ms);
    std::vector<PlayerRow> player_rows(const PlayerQuery &query, int64_t now_ms);
    std::vector<PlayerRow> period_rows(const PlayerQuery &query, int64_t first_day);
    bool prepare_statements(std::string *error);
    void close_every_leftover();
    void take(const Fact &fact);
    ServerNow &server(const std::string &name, int64_t at_ms);
    int64_t player_id(const PlayerRef &player, const std::string &server, int64_t at_ms);
    void touch_name(int64_t player, const std::string &name, int64_t at_ms);
    const OpenSession &session(ServerNow &now, const Fact &fact, const PlayerRef &player);
    void close_session(ServerNow &now, int user_id, int64_t at_ms);
    void end_match(ServerNow &now, int64_t at_ms, const std::vector<std::pair<std::string, int>> &scores);
    void start_match(ServerNow &now, const Fact &fact);
    void take_kill(ServerNow &now, const Fact &fact);
    void add_figures(const OpenSession &session, int64_t server_id, const PlayerFigures &figures);
    bool flush_kills();
    bool flush_figures();
    void forget_state();
    std::vector<MatchRow> match_rows(Statement &statement);
    void add_scores(MatchRow *match);
    std::vector<std::string> names_of(int64_t player, int most);

    std::unique_ptr<Connection> db_, reader_;
    std::string label_;  // the file, or the database without its password
    std::map<std::string, ServerNow> servers_;
    std::map<std::string, int64_t> players_;  // identity to row, for those seen lately
    std::map<int64_t, PlayerFigures> session_figures_, total_figures_;
    std::map<DayKey, PlayerFigures> day_figures_;
    struct PendingKill {
        int64_t match_id = 0, killer_id = 0, victim_id = 0;
        const Fact *fact = nullptr;  // in the batch being written
    };
    std::vector<PendingKill> pending_kills_;
    std::map<std::string, Ranking> rankings_;  // by period, sort and server
    std::unique_ptr<Statement> insert_server_, find_server_, insert_match_, name_match_, end_match_, insert_score_,
        upsert_player_, upsert_name_, insert_session_, close_session_, set_team_, session_figures_add_, totals_add_,
        days_add_, insert_kills_, insert_chat_, rename_player_, player_seen_;
};

}  // namespace web::history
