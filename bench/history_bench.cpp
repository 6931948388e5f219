// orlex_history_bench: a generated history of N kills (BENCH_HISTORY_KILLS, default one million;
// ten million is a year of ten busy servers) written through the store, the insert rate beside a
// busy server's, each page query's p50 and p99 on the file, and each query's plan once.
// Both backends: SQLite and PostgreSQL (a server of its own, or BENCH_HISTORY_DSN's);
// BENCH_HISTORY_BACKENDS=sqlite or postgresql for one.
//   orlex_history_bench [FILE]   (SQLite's; default: a temporary file, deleted at the end)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/web/temp_postgres.h"
#include "web/history/postgresql_connection.h"
#include "web/history/sql_store.h"

namespace {

using web::history::Fact;
using web::history::PlayerRef;
using Clock = std::chrono::steady_clock;

constexpr int kServers = 10;
constexpr int kRegulars = 2000;  // players a server sees over the year
constexpr int kPerMatch = 32;
constexpr int kKillsPerMatch = 100;
constexpr size_t kBatch = 5000;  // facts per transaction: some seconds of a hundred busy servers
constexpr int64_t kYearMs = int64_t{365} * 86400000;
const char *const kWeapons[] = {"ak47",  "m4a1",  "awp", "deagle", "usp", "glock18", "mp5navy", "famas",
                                "galil", "sg552", "aug", "p90",    "m3",  "xm1014",  "grenade", "knife"};

int64_t wall_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

PlayerRef regular(int server, int index) {
    const int id = server * kRegulars + index;
    return {index + 2, "Player " + std::to_string(id), "STEAM_0:1:" + std::to_string(100000 + id), ""};
}

class Generator {
public:
    Generator(web::history::HistoryStore &store, int64_t kills) : store_(store), kills_(kills) {}

    // The kills spread over the year before now, matches taking turns among the servers.
    double run() {
        const int64_t matches = std::max<int64_t>(1, kills_ / kKillsPerMatch);
        const int64_t spacing = kYearMs * kServers / matches;
        const int64_t start = wall_ms() - kYearMs;
        const auto began = Clock::now();
        for (int64_t match = 0; match < matches; ++match)
            add_match(static_cast<int>(match % kServers), start + match / kServers * spacing, spacing);
        flush();
        return std::chrono::duration<double>(Clock::now() - began).count();
    }

private:
    void add(Fact fact) {
        facts_.push_back(std::move(fact));
        if (facts_.size() >= kBatch)
            flush();
    }
    void flush() {
        std::string error;
        if (!facts_.empty() && !store_.write(facts_, &error))
            std::fprintf(stderr, "orlex_history_bench: %s\n", error.c_str());
        facts_.clear();
    }
    Fact fact(Fact::Type type, int server, int64_t at) {
        Fact made;
        made.type = type;
        made.server = "server" + std::to_string(server);
        made.at_ms = at;
        return made;
    }
    void add_match(int server, int64_t at, int64_t length) {
        Fact started = fact(Fact::Type::match_start, server, at);
        started.map = "de_map" + std::to_string(random_() % 12);
        add(started);
        std::vector<PlayerRef> on;
        std::uniform_int_distribution<int> pick(0, kRegulars - 1);
        for (int i = 0; i < kPerMatch; ++i) {
            PlayerRef player = regular(server, pick(random_));
            player.user_id = i + 2;
            on.push_back(player);
            Fact joined = fact(Fact::Type::join, server, at);
            joined.player = player;
            add(joined);
        }
        for (int k = 0; k < kKillsPerMatch; ++k) {
            Fact kill = fact(Fact::Type::kill, server, at + length * k / kKillsPerMatch / 2);
            kill.player = on[random_() % on.size()];
            kill.victim = on[random_() % on.size()];
            kill.weapon = kWeapons[random_() % (sizeof(kWeapons) / sizeof(kWeapons[0]))];
            kill.headshot = random_() % 3 == 0;
            kill.suicide = kill.player.user_id == kill.victim.user_id;
            kill.killer_at = {true, double(random_() % 4000), double(random_() % 4000), 0};
            kill.victim_at = {true, double(random_() % 4000), double(random_() % 4000), 0};
            add(kill);
        }
        Fact ended = fact(Fact::Type::match_end, server, at + length / 2);
        ended.scores = {{"CT", int(random_() % 16)}, {"TERRORIST", int(random_() % 16)}};
        add(ended);
    }

    web::history::HistoryStore &store_;
    int64_t kills_;
    std::vector<Fact> facts_;
    std::mt19937 random_{28};
};

struct Percentiles {
    double p50 = 0, p99 = 0;
};

Percentiles measure(int runs, const std::function<void(int)> &query) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto began = Clock::now();
        query(i);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - began).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

// A database that has been written for a while has been vacuumed by its autovacuum: its index-only
// scans read no table rows. Done at once here, where the whole year was written in minutes.
void vacuum(web::history::Dialect dialect, const std::string &target) {
    if (dialect != web::history::Dialect::postgresql)
        return;
    std::string error;
    const std::unique_ptr<web::history::Connection> db = web::history::open_postgresql(target, &error);
    if (!db || !db->execute("VACUUM ANALYZE", &error))
        std::printf("not vacuumed: %s\n", error.c_str());
}

// The history in one backend: generated (unless it holds one already), then measured.
int measure_backend(web::history::Dialect dialect, const std::string &target, const std::string &shown, bool generate,
                    int64_t kills) {
    std::string error;
    std::unique_ptr<web::history::SqlStore> store = web::history::SqlStore::open(dialect, target, &error);
    if (!store) {
        std::fprintf(stderr, "orlex_history_bench: %s\n", error.c_str());
        return 1;
    }
    // A history given that holds one already is measured as it is (the generation takes long).
    if (!generate && !store->players({}, wall_ms()).empty()) {
        std::printf("measuring the history in %s as it is\n", shown.c_str());
    } else {
        std::printf("generating %lld kills on %d servers over a year into %s\n", static_cast<long long>(kills),
                    kServers, shown.c_str());
        const double seconds = Generator(*store, kills).run();
        // A busy server: 32 players, a kill about every second at its busiest.
        const double rate = static_cast<double>(kills) / seconds;
        std::printf("%-44s %12.0f kills/s   target >= 20 (20 x a busy server's 1 kill/s); %.1f s\n", "insert rate",
                    rate, seconds);
        vacuum(dialect, target);
    }
    std::fflush(stdout);

    const int64_t now = wall_ms();
    std::mt19937 random(7);
    const auto player_key = [&] {
        return int64_t{1} + static_cast<int64_t>(random() % static_cast<unsigned>(kServers * kRegulars));
    };
    const int64_t matches = std::max<int64_t>(1, kills / kKillsPerMatch);
    struct Page {
        const char *name;
        std::function<void(int)> query;
    };
    const std::vector<Page> pages = {
        {"players: top by kills, all time", [&](int) { store->players({}, now); }},
        {"players: top by K/D, 30 days",
         [&](int) {
             web::history::PlayerQuery query;
             query.sort = web::history::PlayerQuery::Sort::kd;
             query.days = 30;
             store->players(query, now);
         }},
        {"players: by time, 7 days, one server",
         [&](int i) {
             web::history::PlayerQuery query;
             query.sort = web::history::PlayerQuery::Sort::time;
             query.days = 7;
             query.server = "server" + std::to_string(i % kServers);
             store->players(query, now);
         }},
        {"players: a name searched",
         [&](int i) {
             web::history::PlayerQuery query;
             query.text = "Player " + std::to_string(i * 37 % (kServers * kRegulars));
             store->players(query, now);
         }},
        {"player page",
         [&](int) {
             web::history::PlayerDetail detail;
             store->player(player_key(), &detail);
         }},
        {"matches of a server",
         [&](int i) {
             web::history::MatchQuery query;
             query.server = "server" + std::to_string(i % kServers);
             store->matches(query);
         }},
        {"match page",
         [&](int) {
             web::history::MatchDetail detail;
             store->match(1 + static_cast<int64_t>(random() % static_cast<uint64_t>(matches)), &detail);
         }},
    };
    std::printf("\n%-44s %10s %10s   target p99 < 100 ms\n", "page query", "p50 ms", "p99 ms");
    for (const Page &page : pages) {
        const Percentiles measured = measure(100, page.query);
        std::printf("%-44s %10.2f %10.2f\n", page.name, measured.p50, measured.p99);
    }
    std::printf("\nquery plans:\n%s\n", store->query_plans().c_str());
    return 0;
}

int measure_sqlite(const char *given, int64_t kills) {
    char temporary[] = "/tmp/orlex_history_bench_XXXXXX";
    if (!given) {
        ::close(mkstemp(temporary));
        std::remove(temporary);
    }
    const std::string path = given ? given : temporary;
    std::printf("== SQLite\n");
    const int status = measure_backend(web::history::Dialect::sqlite, path, path, !given, kills);
    if (!given)
        for (const char *suffix : {"", "-wal", "-shm"})
            std::remove((path + suffix).c_str());
    return status;
}

// A server of the benchmark's own, durable as a real one is (fsync on), or the one named by
// BENCH_HISTORY_DSN (measured as it is when it holds a history).
int measure_postgresql(int64_t kills) {
    std::printf("== PostgreSQL\n");
    if (const char *dsn = std::getenv("BENCH_HISTORY_DSN"))
        return measure_backend(web::history::Dialect::postgresql, dsn, web::history::postgresql_label(dsn), false,
                               kills);
    tests::TempPostgres server(true);
    if (!server.unavailable().empty()) {
        std::printf("not measured: %s\n", server.unavailable().c_str());
        return 0;
    }
    const std::string dsn = server.new_database();
    return measure_backend(web::history::Dialect::postgresql, dsn, web::history::postgresql_label(dsn), true, kills);
}

}  // namespace

int main(int argc, char **argv) {
    const char *asked = std::getenv("BENCH_HISTORY_KILLS");
    const int64_t kills = asked ? std::max<int64_t>(1000, std::atoll(asked)) : 1000000;
    const std::string backends = std::getenv("BENCH_HISTORY_BACKENDS") ? std::getenv("BENCH_HISTORY_BACKENDS") : "both";
    int status = 0;
    if (backends != "postgresql")
        status |= measure_sqlite(argc > 1 ? argv[1] : nullptr, kills);
    if (backends != "sqlite")
        status |= measure_postgresql(kills);
    return status;
}
