// The servers' logs end to end: the simulated server's log sent to the gateway as logaddress_add
// sends it, read into the kill feed and the round panel beside the plug-in's own records; datagrams
// from elsewhere dropped, a flood taken in its stride; the public view's events delayed and without
// auth ids.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "support/sockets.h"
#include "web/harness.h"

using web_testing::Gateway;
using web_testing::kWait;
using web_testing::SimServer;

namespace {

namespace json = boost::json;

json::object api(int port, const std::string &target) {
    boost::system::error_code error;
    const json::value parsed = json::parse(web_testing::http_get(port, target).body, error);
    return !error && parsed.is_object() ? parsed.as_object() : json::object();
}

// Deaths per user id: from the plug-in's latest PLAYER record and from the log's kill lines.
struct Deaths {
    std::map<int64_t, int64_t> recorded, logged;
};

// How many events the gateway keeps of a server; -1 while it does not watch it.
int64_t event_count(int port, const std::string &server) {
    const json::object answer = api(port, "/api/servers/" + server + "/events");
    return answer.contains("events") ? static_cast<int64_t>(answer.at("events").as_array().size()) : -1;
}

Deaths deaths_of(const json::object &detail) {
    Deaths deaths;
    if (detail.contains("players"))
        for (const json::value &player : detail.at("players").as_array())
            deaths.recorded[player.at("user_id").as_int64()] = player.at("deaths").as_int64();
    if (detail.contains("log"))
        for (const auto &tally : detail.at("log").at("players").as_object())
            deaths.logged[std::stoll(std::string(tally.key()))] = tally.value().at("deaths").as_int64();
    return deaths;
}

class UdpSender {
public:
    // Sending from `source` (any 127.x.y.z address is loopback), from `port` or any.
    explicit UdpSender(const char *source, int port = 0) : socket_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, source, &from.sin_addr);
        bind(socket_, reinterpret_cast<sockaddr *>(&from), sizeof(from));
    }
    ~UdpSender() { ::close(socket_); }
    void send(int port, const std::string &bytes) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof(to));
    }

private:
    int socket_;
};

std::string log_datagram(const std::string &body) {
    return std::string("\xFF\xFF\xFF\xFFlog L 09/25/2024 - 21:20:31: ") + body + "\n" + std::string(1, '\0');
}

}  // namespace

// valve deathmatch: no restarts, so the plug-in's deaths and the log's run from the same start. The
// record lags the log: every death the record has, the log has; every death the log had, a later
// record has.
TEST(WebLog, TheKillFeedAgreesWithThePlayerRecordsDeaths) {
    const int log_port = testing_support::free_port();
    SimServer server("valve", 8, 0, {"--speed", "4", "--exec", "logaddress_add 127.0.0.1 " + std::to_string(log_port)});
    Gateway gateway({"--server", "sim=" + server.address(), "--log-listen", "127.0.0.1:" + std::to_string(log_port)});
    ASSERT_GT(gateway.port(), 0);
    Deaths first;
    ASSERT_TRUE(testing_support::wait_until(
        [&] {
            first = deaths_of(api(gateway.port(), "/api/servers/sim"));
            int64_t total = 0;
            for (const auto &logged : first.logged)
                total += logged.second;
            return total >= 5;
        },
        kWait))
        << "no kills in the log";
    bool caught_up = false;
    ASSERT_TRUE(testing_support::wait_until(
        [&] {
            const Deaths now = deaths_of(api(gateway.port(), "/api/servers/sim"));
            for (const auto &recorded : now.recorded) {
                const auto logged = now.logged.find(recorded.first);
                EXPECT_GE(logged == now.logged.end() ? 0 : logged->second, recorded.second)
                    << "a death without its kill line, user " << recorded.first;
            }
            caught_up = true;
            for (const auto &logged : first.logged)
                caught_up =
                    caught_up && now.recorded.count(logged.first) && now.recorded.at(logged.first) >= logged.second;
            return caught_up || ::testing::Test::HasFailure();
        },
        kWait));
    EXPECT_TRUE(caught_up) << "kill lines without a death in the records";

    // Every kill event names both players, with their user ids, and the weapon.
    const json::object events = api(gateway.port(), "/api/servers/sim/events?since=0");
    int kills = 0;
    for (const json::value &event : events.at("events").as_array()) {
        if (event.at("kind") != "kill")
            continue;
        ++kills;
        EXPECT_GT(event.at("killer").at("user_id").as_int64(), 0);
        EXPECT_FALSE(event.at("weapon").as_string().empty());
        EXPECT_FALSE(event.as_object().contains("headshot")) << "valve writes no headshot marker";
    }
    EXPECT_GE(kills, 5);
}

// cstrike: the round panel's latest result carries the scores the plug-in reports for the teams.
TEST(WebLog, RoundResultsAgreeWithTheTeamScores) {
    const int log_port = testing_support::free_port();
    SimServer server("cstrike", 10, 0,
                     {"--speed", "8", "--exec", "logaddress_add 127.0.0.1 " + std::to_string(log_port)});
    Gateway gateway({"--server", "sim=" + server.address(), "--log-listen", "127.0.0.1:" + std::to_string(log_port)});
    ASSERT_GT(gateway.port(), 0);
    std::string seen;
    EXPECT_TRUE(testing_support::wait_until(
        [&] {
            const json::object detail = api(gateway.port(), "/api/servers/sim");
            if (!detail.contains("log") || !detail.at("server").is_object())
                return false;
            const json::array &results = detail.at("log").at("results").as_array();
            if (results.size() < 2)
                return false;
            std::map<std::string, int64_t> logged, reported;
            for (const json::value &score : results.back().at("scores").as_array())
                logged[std::string(score.at("team").as_string())] = score.at("score").as_int64();
            for (const json::value &team : detail.at("server").at("teams").as_array())
                reported[std::string(team.at("name").as_string())] = team.at("score").as_int64();
            seen = json::serialize(results.back()) + " / " + json::serialize(detail.at("server").at("teams"));
            return !logged.empty() && logged == reported;
        },
        kWait))
        << seen;
}

// Datagrams from an address no watched server has are dropped whatever they hold; a flood of valid,
// garbage and foreign datagrams leaves the gateway answering, with its memory bounded.
TEST(WebLog, ForeignDatagramsAreDroppedAndAFloodIsTakenInItsStride) {
    const int log_port = testing_support::free_port();
    Gateway gateway({"--server", "sim=127.0.0.1:" + std::to_string(testing_support::free_port()), "--log-listen",
                     "127.0.0.1:" + std::to_string(log_port)});
    ASSERT_GT(gateway.port(), 0);
    UdpSender watched("127.0.0.1"), foreign("127.0.0.2");
    const std::string valid = log_datagram(R"("A<1><BOT><CT>" killed "B<2><BOT><TERRORIST>" with "m4a1")");
    const std::string stranger = log_datagram(R"("Forged<3><BOT><CT>" killed "B<2><BOT><TERRORIST>" with "awp")");
    watched.send(log_port, valid);
    ASSERT_TRUE(testing_support::wait_until(
        [&] { return api(gateway.port(), "/api/servers/sim/events").at("events").as_array().size() == 1; }, kWait));
    const long before_kb = gateway.process().resident_kb();
    for (int i = 0; i < 100000; ++i) {
        if (i % 3 == 0)
            watched.send(log_port, valid);
        else if (i % 3 == 1)
            watched.send(log_port, std::string("\xFF\xFF\xFF\xFFgarbage ") + std::to_string(i));
        else
            foreign.send(log_port, stranger);
    }
    EXPECT_EQ(web_testing::http_get(gateway.port(), "/api/servers").status, 200);
    std::string metrics;
    EXPECT_TRUE(testing_support::wait_until(
        [&] {
            metrics = web_testing::http_get(gateway.port(), "/metrics").body;
            return metrics.find("orlex_log_foreign_datagrams_total 0") == std::string::npos &&
                   metrics.find("orlex_log_malformed_datagrams_total 0") == std::string::npos;
        },
        kWait))
        << metrics;
    const json::array events = api(gateway.port(), "/api/servers/sim/events").at("events").as_array();
    EXPECT_LE(events.size(), 1000u);
    EXPECT_GT(events.size(), 1u);
    for (const json::value &event : events)
        ASSERT_NE(event.at("killer").at("name"), "Forged");
    EXPECT_LT(gateway.process().resident_kb() - before_kb, 64 * 1024);
    EXPECT_TRUE(gateway.process().err().find("log datagrams from addresses no watched server has") !=
                std::string::npos);
}

// Two watched servers on one host: a datagram from the port one line names with log= is that
// server's; one from any other port of that host could be either's, so it is dropped and counted,
// never credited to whichever was added last.
TEST(WebLog, AHostSharedByTwoServersNeedsTheLogSettingToTellThemApart) {
    const int log_port = testing_support::free_port(), named_port = testing_support::free_port();
    const std::string config = testing::TempDir() + "orlex_web_log_config_" + std::to_string(getpid());
    std::ofstream(config) << "named 127.0.0.1:" << testing_support::free_port() << " log=127.0.0.1:" << named_port
                          << "\nother 127.0.0.1:" << testing_support::free_port() << "\n";
    Gateway gateway({"--config", config, "--log-listen", "127.0.0.1:" + std::to_string(log_port)});
    ASSERT_GT(gateway.port(), 0);
    UdpSender from_named("127.0.0.1", named_port), from_elsewhere("127.0.0.1");
    const std::string kill = log_datagram(R"("A<1><BOT><CT>" killed "B<2><BOT><TERRORIST>" with "m4a1")");
    std::string metrics;
    ASSERT_TRUE(testing_support::wait_until(
        [&] {
            // The configuration is read after start: send until the named server has its event.
            from_named.send(log_port, kill);
            from_elsewhere.send(log_port, kill);
            metrics = web_testing::http_get(gateway.port(), "/metrics").body;
            return event_count(gateway.port(), "named") > 0 &&
                   metrics.find("orlex_log_ambiguous_datagrams_total 0") == std::string::npos;
        },
        kWait))
        << metrics;
    EXPECT_EQ(event_count(gateway.port(), "other"), 0);
    EXPECT_NE(gateway.process().err().find("where several watched servers are, dropped"), std::string::npos);
    std::remove(config.c_str());
}

// The public view's events are those its delayed state had: a line shows there the delay after it
// came and not before, without the players' auth ids (the live API has them). Team chat stays, as
// the public state's chat keeps it. The public WebSocket's states carry the same.
TEST(WebLog, ThePublicViewHasTheEventsOfItsDelayedStateWithoutAuthIds) {
    using Clock = std::chrono::steady_clock;
    const int log_port = testing_support::free_port();
    const int delay_seconds = 2;
    Gateway gateway({"--server", "sim=127.0.0.1:" + std::to_string(testing_support::free_port()), "--log-listen",
                     "127.0.0.1:" + std::to_string(log_port), "--public", "--public-delay",
                     std::to_string(delay_seconds), "--token", "public-events-token"});
    ASSERT_GT(gateway.port(), 0);
    const std::string bearer = "Authorization: Bearer public-events-token\r\n";
    auto live_count = [&] {
        const std::string body = web_testing::http_get(gateway.port(), "/api/servers/sim/events", bearer).body;
        boost::system::error_code error;
        const json::value parsed = json::parse(body, error);
        return error ? size_t{0} : parsed.at("events").as_array().size();
    };
    auto public_events = [&](const std::string &query, int *status) {
        const web_testing::HttpReply reply = web_testing::http_get(gateway.port(), "/api/servers/sim/events" + query);
        *status = reply.status;
        boost::system::error_code error;
        const json::value parsed = json::parse(reply.body, error);
        return !error && reply.status == 200 ? parsed.at("events").as_array() : json::array();
    };
    auto waited_ms = [](Clock::time_point since) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
    };
    UdpSender watched("127.0.0.1");
    int status = 0;

    const Clock::time_point killed_at = Clock::now();
    watched.send(log_port,
                 log_datagram(R"("Ann<1><STEAM_0:1:4242><CT>" killed "Bo<2><STEAM_0:0:99><TERRORIST>" with "m4a1")"));
    ASSERT_TRUE(testing_support::wait_until([&] { return live_count() == 1; }, kWait));
    EXPECT_NE(web_testing::http_get(gateway.port(), "/api/servers/sim/events", bearer).body.find("STEAM_0:1:4242"),
              std::string::npos);
    public_events("", &status);
    if (waited_ms(killed_at) < delay_seconds * 1000) {
        EXPECT_EQ(status, 503) << "the public saw the kill before the delay";
    }
    json::array shown;
    ASSERT_TRUE(testing_support::wait_until([&] { return (shown = public_events("", &status)).size() == 1; }, kWait));
    EXPECT_GE(waited_ms(killed_at), delay_seconds * 1000);
    const json::object kill = shown[0].as_object();
    EXPECT_EQ(kill.at("kind"), "kill");
    EXPECT_EQ(kill.at("killer").at("name"), "Ann");
    EXPECT_EQ(kill.at("victim").at("user_id"), 2);
    EXPECT_FALSE(kill.at("killer").as_object().contains("auth_id"));
    EXPECT_FALSE(kill.at("victim").as_object().contains("auth_id"));

    const Clock::time_point said_at = Clock::now();
    watched.send(log_port, log_datagram(R"("Bo<2><STEAM_0:0:99><TERRORIST>" say_team "rush b")"));
    ASSERT_TRUE(testing_support::wait_until([&] { return live_count() == 2; }, kWait));
    shown = public_events("", &status);
    if (waited_ms(said_at) < delay_seconds * 1000) {
        EXPECT_EQ(shown.size(), 1u) << "the public saw the chat before the delay";
    }
    ASSERT_TRUE(testing_support::wait_until([&] { return public_events("", &status).size() == 2; }, kWait));
    EXPECT_GE(waited_ms(said_at), delay_seconds * 1000);
    shown = public_events("?since=" + std::to_string(kill.at("seq").as_int64()), &status);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].at("event"), "say_team");
    EXPECT_EQ(shown[0].at("text"), "rush b");
    EXPECT_FALSE(shown[0].at("player").as_object().contains("auth_id"));

    web_testing::Viewer viewer(gateway.port());
    ASSERT_TRUE(viewer.open());
    viewer.watch("sim");
    std::string message;
    ASSERT_TRUE(testing_support::wait_until(
        [&] { return viewer.next(&message, 500) && message.find("rush b") != std::string::npos; }, kWait));
    EXPECT_EQ(message.find("STEAM_0"), std::string::npos) << message;
    EXPECT_EQ(message.find("auth_id"), std::string::npos) << message;
    EXPECT_NE(message.find("\"killer\":{\"name\":\"Ann\""), std::string::npos) << message;
}
