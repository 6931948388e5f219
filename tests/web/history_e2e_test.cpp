// The history end to end: the real gateway keeping the simulated server's matches from its log;
// log lines sent as a server sends them for known players, to check what each role is shown, what
// hostile requests get, and that a kill -9 during heavy writes leaves a whole file holding a prefix.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/sockets.h"
#include "tests/web/temp_postgres.h"
#include "web/access/users.h"
#include "web/harness.h"
#include "web/history/postgresql_connection.h"

using web_testing::Gateway;
using web_testing::kWait;
using web_testing::SimServer;
using web_testing::TempDir;

namespace {

namespace json = boost::json;

json::value api(int port, const std::string &target, const std::string &headers = "") {
    boost::system::error_code error;
    const json::value parsed = json::parse(web_testing::http_get(port, target, headers).body, error);
    return error ? json::value() : parsed;
}

class UdpSender {
public:
    // `from`: the loopback address the datagrams leave from, as a server's host would be.
    explicit UdpSender(const char *from = nullptr) : socket_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        if (!from)
            return;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, from, &address.sin_addr);
        if (::bind(socket_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0)
            ADD_FAILURE() << "cannot send from " << from;
    }
    ~UdpSender() { ::close(socket_); }
    void send(int port, const std::string &body) {
        const std::string datagram =
            std::string("\xFF\xFF\xFF\xFFlog L 09/25/2024 - 21:20:31: ") + body + "\n" + std::string(1, '\0');
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        sendto(socket_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof(to));
    }

private:
    int socket_;
};

// The gateway's events of a server: how many it has read (the latest seq).
int64_t events_read(int port, const std::string &server, const std::string &headers = "") {
    const json::value answer = api(port, "/api/servers/" + server + "/events", headers);
    if (!answer.is_object() || !answer.as_object().contains("events"))
        return -1;
    const json::array &events = answer.at("events").as_array();
    return events.empty() ? 0 : events.back().at("seq").as_int64();
}

struct SqlFile {
    explicit SqlFile(const std::string &path) { sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr); }
    ~SqlFile() { sqlite3_close(db); }
    std::vector<std::string> column(const std::string &sql) const {
        std::vector<std::string> values;
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            return {"error: " + std::string(sqlite3_errmsg(db))};
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const unsigned char *text = sqlite3_column_text(statement, 0);
            values.emplace_back(text ? reinterpret_cast<const char *>(text) : "");
        }
        sqlite3_finalize(statement);
        return values;
    }
    sqlite3 *db = nullptr;
};

TEST(HistoryProgram, KeepsTheSimulatedMatchesFromTheServersLog) {
    TempDir dir;
    const int log_port = testing_support::free_port();
    SimServer server("cstrike", 10, 0,
                     {"--speed", "8", "--exec", "logaddress_add 127.0.0.1 " + std::to_string(log_port)});
    Gateway gateway({"--server", "sim=" + server.address(), "--log-listen", "127.0.0.1:" + std::to_string(log_port),
                     "--history", dir.file("h.sqlite"), "--record", dir.file("recordings")});
    ASSERT_GT(gateway.port(), 0);
    json::value players;
    ASSERT_TRUE(testing_support::wait_until(
        [&] {
            players = api(gateway.port(), "/api/history/players?sort=kills&limit=5");
            const json::array &list = players.at("players").as_array();
            return !list.empty() && list[0].at("kills").as_int64() >= 3;
        },
        kWait))
        << json::serialize(players);
    const json::object &best = players.at("players").as_array()[0].as_object();
    EXPECT_FALSE(best.at("names").as_array().empty());
    EXPECT_TRUE(best.at("bot").as_bool()) << "the simulated players are bots";

    const json::value matches = api(gateway.port(), "/api/history/matches?server=sim");
    ASSERT_FALSE(matches.at("matches").as_array().empty()) << json::serialize(matches);
    const json::object &match = matches.at("matches").as_array()[0].as_object();
    EXPECT_FALSE(match.at("map").as_string().empty());
    const json::value detail = api(gateway.port(), "/api/history/matches/" + std::to_string(match.at("id").as_int64()));
    const json::array &kills = detail.at("match").at("kills").as_array();
    ASSERT_FALSE(kills.empty());
    bool placed = false;
    for (const json::value &kill : kills)
        placed = placed || kill.at("killer_at").is_array();
    EXPECT_TRUE(placed) << "no kill has the killer's position of the latest PLAYER record";
    EXPECT_FALSE(detail.at("match").at("players").as_array().empty());
    ASSERT_TRUE(detail.at("match").at("recording").is_object()) << "the recorder's file of the match";
    EXPECT_NE(detail.at("match").at("recording").at("file").as_string().find("_sim_"), std::string::npos);
    EXPECT_GE(kills.back().at("offset_ms").as_int64(), 0);

    const json::value player = api(gateway.port(), "/api/history/players/" + std::string(best.at("key").as_string()));
    EXPECT_FALSE(player.at("player").at("weapons").as_array().empty()) << json::serialize(player);
    EXPECT_EQ(gateway.process().stop(SIGTERM), 0);
    const SqlFile file(dir.file("h.sqlite"));
    EXPECT_EQ(file.column("SELECT count(*) FROM matches WHERE end_ms IS NULL"), std::vector<std::string>{"0"})
        << "the stop ends the match under way";
    EXPECT_GE(std::stoul(file.column("SELECT count(*) FROM kills")[0]), kills.size());
}

TEST(HistoryProgram, WithoutAFileAnswers503AndANewerFileStopsTheStart) {
    Gateway plain({"--server", "sim=127.0.0.1:" + std::to_string(testing_support::free_port())});
    ASSERT_GT(plain.port(), 0);
    for (const char *target :
         {"/api/history/players", "/api/history/players/1", "/api/history/matches", "/api/history/matches/1"})
        EXPECT_EQ(web_testing::http_get(plain.port(), target).status, 503) << target;
    EXPECT_NE(web_testing::http_get(plain.port(), "/history.html").body.find("/history.js"), std::string::npos);
    EXPECT_NE(web_testing::http_get(plain.port(), "/").body.find("href=\"/history.html\""), std::string::npos)
        << "the dashboard's header links the history";

    TempDir dir;
    const std::string path = dir.file("newer.sqlite");
    sqlite3 *db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t (x); PRAGMA user_version = 7;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    web_testing::Process refused(ORLEX_WEB_PATH,
                                 {"--server", "sim=127.0.0.1:1", "--listen", "127.0.0.1:0", "--history", path});
    ASSERT_TRUE(testing_support::wait_until([&] { return !refused.running(); }, kWait));
    EXPECT_NE(refused.stop(SIGKILL), 0);
    EXPECT_NE(refused.err().find(path), std::string::npos) << refused.err();
    EXPECT_NE(refused.err().find("version 7"), std::string::npos) << refused.err();
}

// Known players with real auth ids, a match and kills, sent as the server's log.
void send_known_match(UdpSender &sender, int log_port) {
    sender.send(log_port, R"(Started map "de_dust2" (CRC "1"))");
    sender.send(log_port, R"("Anna<2><STEAM_0:1:111><>" entered the game)");
    sender.send(log_port, R"("Bert<3><STEAM_0:0:222><>" entered the game)");
    sender.send(log_port, R"("Anna<2><STEAM_0:1:111><CT>" killed "Bert<3><STEAM_0:0:222><TERRORIST>" with "ak47")");
    sender.send(log_port, R"("Bert<3><STEAM_0:0:222><TERRORIST>" killed "Anna<2><STEAM_0:1:111><CT>" with "m4a1")");
    sender.send(log_port, R"("Anna<2><STEAM_0:1:111><CT>" killed "Bert<3><STEAM_0:0:222><TERRORIST>" with "ak47")");
}

constexpr char kViewerToken[] = "viewer-token-for-the-history";

// A gateway keeping history, with one viewer user (kViewerToken) and the public view `delay` late.
std::vector<std::string> with_a_viewer_and_the_public(TempDir &dir, int log_port, const char *delay) {
    std::ofstream(dir.file("users")) << "watcher viewer " << web::access::token_hash(kViewerToken) << "\n";
    return {"--server",     "sim=127.0.0.1:" + std::to_string(testing_support::free_port()),
            "--log-listen", "127.0.0.1:" + std::to_string(log_port),
            "--history",    dir.file("h.sqlite"),
            "--users",      dir.file("users"),
            "--public",     "--public-delay",
            delay};
}

TEST(HistoryProgram, AuthIdsOnlyForViewersAndAdmins) {
    TempDir dir;
    const int log_port = testing_support::free_port();
    Gateway gateway(with_a_viewer_and_the_public(dir, log_port, "0"));
    ASSERT_GT(gateway.port(), 0);
    const std::string viewer = "Authorization: Bearer " + std::string(kViewerToken) + "\r\n";
    UdpSender sender;
    send_known_match(sender, log_port);
    json::value seen;
    ASSERT_TRUE(testing_support::wait_until(
        [&] {
            seen = api(gateway.port(), "/api/history/players", viewer);
            return seen.is_object() && seen.at("players").as_array().size() == 2 &&
                   seen.at("players").as_array()[0].at("kills").as_int64() == 2;
        },
        kWait))
        << json::serialize(seen);
    const json::object &anna = seen.at("players").as_array()[0].as_object();
    EXPECT_EQ(anna.at("auth_id"), "STEAM_0:1:111");
    const std::string key(anna.at("key").as_string());
    EXPECT_EQ(key.find("STEAM"), std::string::npos) << "the key is the row, never the auth id";
    const json::value matches = api(gateway.port(), "/api/history/matches", viewer);
    ASSERT_EQ(matches.at("matches").as_array().size(), 1u);
    const std::string match = std::to_string(matches.at("matches").as_array()[0].at("id").as_int64());
    EXPECT_NE(web_testing::http_get(gateway.port(), "/api/history/matches/" + match, viewer).body.find("STEAM_0:0:222"),
              std::string::npos);

    for (const std::string &target : std::vector<std::string>{
             "/api/history/players", "/api/history/players?q=STEAM_0", "/api/history/players?q=anna",
             "/api/history/players/" + key, "/api/history/matches", "/api/history/matches/" + match}) {
        const web_testing::HttpReply reply = web_testing::http_get(gateway.port(), target);
        EXPECT_EQ(reply.status, 200) << target;
        EXPECT_EQ(reply.body.find("STEAM"), std::string::npos) << target << ": " << reply.body;
        EXPECT_EQ(reply.body.find("auth_id"), std::string::npos) << target;
    }
    EXPECT_NE(web_testing::http_get(gateway.port(), "/api/history/players?q=anna").body.find("Anna"),
              std::string::npos);
    EXPECT_EQ(api(gateway.port(), "/api/history/players?q=STEAM_0").at("players").as_array().size(), 0u)
        << "the public cannot find a player by auth id";
    EXPECT_EQ(api(gateway.port(), "/api/history/players?q=STEAM_0", viewer).at("players").as_array().size(), 2u);

    // Hostile requests: refused with 400/404, or answered as plain text searched for.
    const std::string huge(100000, 'x');
    EXPECT_EQ(web_testing::http_get(gateway.port(), "/api/history/players?q=" + std::string(65, 'a')).status, 400);
    EXPECT_EQ(web_testing::http_get(gateway.port(), "/api/history/players?q=" + huge).status, 431);
    for (const char *target : {"/api/history/players?limit=-1", "/api/history/players?limit=1000000000000",
                               "/api/history/matches?offset=-1", "/api/history/players?days=99999"})
        EXPECT_EQ(web_testing::http_get(gateway.port(), target).status, 400) << target;
    for (const char *target : {"/api/history/players/1%27%20OR%20%271%27=%271", "/api/history/matches/99999",
                               "/api/history/players/STEAM_0:1:111"})
        EXPECT_EQ(web_testing::http_get(gateway.port(), target).status, 404) << target;
    const web_testing::HttpReply injected =
        web_testing::http_get(gateway.port(), "/api/history/players?q=%27%3B%20DROP%20TABLE%20players%3B--");
    EXPECT_EQ(injected.status, 200);
    EXPECT_EQ(api(gateway.port(), "/api/history/players", viewer).at("players").as_array().size(), 2u);
    EXPECT_EQ(gateway.process().stop(SIGTERM), 0);
}

// The public view is late on purpose: a match's kills (and their positions) come to it no sooner.
TEST(HistoryProgram, ThePublicSeesAMatchsKillsOnlyOnceTheyAreTheDelayOld) {
    TempDir dir;
    const int log_port = testing_support::free_port();
    Gateway gateway(with_a_viewer_and_the_public(dir, log_port, "300"));
    ASSERT_GT(gateway.port(), 0);
    const std::string viewer = "Authorization: Bearer " + std::string(kViewerToken) + "\r\n";
    UdpSender sender;
    send_known_match(sender, log_port);
    json::value seen;
    ASSERT_TRUE(testing_support::wait_until(
        [&] {
            seen = api(gateway.port(), "/api/history/matches/1", viewer);
            return seen.is_object() && seen.as_object().contains("match") &&
                   seen.at("match").at("kills").as_array().size() == 3;
        },
        kWait))
        << json::serialize(seen);
    EXPECT_TRUE(api(gateway.port(), "/api/history/matches/1").at("match").at("kills").as_array().empty());
}

// The gateway killed while the file takes a stream of kills: what it holds opens whole, and is the
// first kills sent, in order, without a gap.
TEST(HistoryProgram, AKillDuringHeavyWritesLeavesAWholeFileHoldingAPrefix) {
    TempDir dir;
    const std::string path = dir.file("h.sqlite");
    const int log_port = testing_support::free_port();
    const std::vector<std::string> arguments = {
        "--server",     "sim=127.0.0.1:" + std::to_string(testing_support::free_port()),
        "--log-listen", "127.0.0.1:" + std::to_string(log_port),
        "--history",    path};
    auto gateway = std::make_unique<Gateway>(arguments);
    ASSERT_GT(gateway->port(), 0);
    UdpSender sender;
    sender.send(log_port, R"(Started map "de_dust2" (CRC "1"))");
    int sent = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (std::chrono::steady_clock::now() < end) {
        // In steps the socket's buffer holds: UDP drops what a full buffer cannot take.
        for (int i = 0; i < 200; ++i, ++sent)
            sender.send(log_port, "\"P" + std::to_string(sent % 20) + "<" + std::to_string(2 + sent % 20) +
                                      "><STEAM_0:1:" + std::to_string(sent % 20) +
                                      "><CT>\" killed \"Q<40><BOT><TERRORIST>\" with \"w" + std::to_string(sent) +
                                      "\"");
        ASSERT_TRUE(
            testing_support::wait_until([&] { return events_read(gateway->port(), "sim") >= sent + 1; }, kWait));
    }
    ASSERT_EQ(::kill(gateway->process().pid(), SIGKILL), 0);
    gateway->process().stop(SIGKILL);

    {
        SqlFile file(path);
        EXPECT_EQ(file.column("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
        const std::vector<std::string> weapons = file.column("SELECT weapon FROM kills ORDER BY id");
        EXPECT_GT(weapons.size(), 0u) << "nothing was written in four seconds";
        EXPECT_LE(weapons.size(), static_cast<size_t>(sent));
        std::printf("%zu of the %d kills sent were written before the kill\n", weapons.size(), sent);
        for (size_t i = 0; i < weapons.size(); ++i)
            ASSERT_EQ(weapons[i], "w" + std::to_string(i)) << "not a prefix of what was sent";
    }
    gateway = std::make_unique<Gateway>(arguments);  // the file opens again as it was left
    ASSERT_GT(gateway->port(), 0);
    EXPECT_EQ(web_testing::http_get(gateway->port(), "/api/history/matches").status, 200);
}

// A match of `kills` kills among four regulars of the server, as its log tells it.
std::vector<std::string> logged_match(const std::string &server, int kills) {
    std::vector<std::string> lines = {R"(Started map "de_dust2" (CRC "1"))"};
    const auto player = [&](int i) {
        return "\"" + server + " " + std::to_string(i) + "<" + std::to_string(i + 2) +
               "><STEAM_0:0:" + std::to_string(server[0] * 100 + i) + "><" + (i % 2 ? "CT" : "TERRORIST") + ">\"";
    };
    for (int i = 0; i < 4; ++i)
        lines.push_back(player(i) + " entered the game");
    for (int k = 0; k < kills; ++k)
        lines.push_back(player(k % 4) + " killed " + player((k + 1) % 4) + " with \"ak47\"");
    return lines;
}

// Two gateways, one region each, keeping one PostgreSQL history: each writes its own server's
// matches while the other writes its own, and the server both watch (its log sent to both) is
// written once. Either serves every server's pages; the password is in a file and nowhere else.
TEST(HistoryProgram, TwoGatewaysShareOnePostgresqlHistory) {
    tests::TempPostgres &postgres = tests::TempPostgres::shared();
    if (!postgres.unavailable().empty())
        GTEST_SKIP() << "PostgreSQL: " << postgres.unavailable();
    TempDir dir;
    const std::string database = postgres.new_database(), dsn_file = dir.file("history.dsn");
    std::ofstream(dsn_file) << database << "\n";
    const int shared_port = testing_support::free_port();
    const auto gateway_of = [&](const std::string &region, int log_port) {
        return std::vector<std::string>{
            "--server",           region + "=127.0.0.1:" + std::to_string(testing_support::free_port()),
            "--server",           "shared=127.0.0.2:" + std::to_string(shared_port),
            "--log-listen",       "127.0.0.1:" + std::to_string(log_port),
            "--history-dsn-file", dsn_file};
    };
    const int east_log = testing_support::free_port(), west_log = testing_support::free_port();
    Gateway east(gateway_of("east", east_log)), west(gateway_of("west", west_log));
    ASSERT_GT(east.port(), 0);
    ASSERT_GT(west.port(), 0);

    constexpr int kKills = 60;
    UdpSender own, shared("127.0.0.2");
    const auto east_lines = logged_match("east", kKills), west_lines = logged_match("west", kKills),
               shared_lines = logged_match("shared", kKills);
    for (size_t i = 0; i < east_lines.size(); ++i) {
        own.send(east_log, east_lines[i]);
        own.send(west_log, west_lines[i]);
        shared.send(east_log, shared_lines[i]);
        shared.send(west_log, shared_lines[i]);
        if (i % 20 != 19)
            continue;  // no more at once than a socket's buffer surely holds
        ASSERT_TRUE(testing_support::wait_until(
            [&] {
                return events_read(east.port(), "east") > static_cast<int64_t>(i) &&
                       events_read(west.port(), "west") > static_cast<int64_t>(i) &&
                       events_read(east.port(), "shared") > static_cast<int64_t>(i) &&
                       events_read(west.port(), "shared") > static_cast<int64_t>(i);
            },
            kWait));
    }

    std::string error;
    auto db = web::history::open_postgresql(database, &error);
    ASSERT_TRUE(db) << error;
    const auto kills_of = [&](const std::string &server) {
        return db->single_integer(
            "SELECT count(*) FROM kills k JOIN matches m ON m.id = k.match_id JOIN servers s "
            "ON s.id = m.server_id WHERE s.name = '" +
            server + "'");
    };
    ASSERT_TRUE(testing_support::wait_until(
        [&] { return kills_of("east") == kKills && kills_of("west") == kKills && kills_of("shared") >= kKills; },
        kWait))
        << kills_of("east") << " " << kills_of("west") << " " << kills_of("shared");
    EXPECT_EQ(kills_of("shared"), kKills) << "the server both watch is written by one of them";
    EXPECT_EQ(db->single_integer("SELECT count(*) FROM matches"), 3);
    EXPECT_EQ(db->single_integer("SELECT count(*) FROM players"), 12);
    EXPECT_EQ(db->single_integer("SELECT sum(kills) FROM player_totals"), 3 * kKills);

    for (Gateway *gateway : {&east, &west}) {
        const json::value matches = api(gateway->port(), "/api/history/matches");
        EXPECT_EQ(matches.at("matches").as_array().size(), 3u) << json::serialize(matches);
        const json::value players = api(gateway->port(), "/api/history/players?server=west");
        EXPECT_EQ(players.at("players").as_array().size(), 4u) << json::serialize(players);
    }
    for (Gateway *gateway : {&east, &west}) {
        std::ifstream in("/proc/" + std::to_string(gateway->process().pid()) + "/cmdline", std::ios::binary);
        const std::string command_line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(command_line.find("--history-dsn-file"), std::string::npos);
        EXPECT_EQ(command_line.find(postgres.password()), std::string::npos) << "the password in the process list";
        EXPECT_EQ(gateway->process().stop(SIGTERM), 0);
        EXPECT_EQ(gateway->process().err().find(postgres.password()), std::string::npos) << gateway->process().err();
    }
}

}  // namespace
