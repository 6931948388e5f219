// A real Prometheus (Debian's) scrapes the gateway, which watches the simulated server: its query
// API agrees with the gateway's state, and a server's players are gone from the scrape after the
// link is lost. Skipped, saying why, where prometheus is not installed.
#include <gtest/gtest.h>

#include <boost/json/parse.hpp>
#include <boost/json/value.hpp>

#include <unistd.h>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

#include "support/sockets.h"
#include "web/harness.h"

using web_testing::Gateway;
using web_testing::kWait;
using web_testing::Process;
using web_testing::SimServer;

namespace json = boost::json;

namespace {

const char kPrometheus[] = "/usr/bin/prometheus";
const char kToken[] = "scrape-secret";

std::string url_encoded(const std::string &text) {
    std::string out;
    char hex[4];
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '_' || c == '.' || c == '-') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(hex, sizeof(hex), "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

// label value -> sample value of an instant query; empty when nothing matches (or no answer).
std::map<std::string, double> query(int port, const std::string &expression, const std::string &by) {
    std::map<std::string, double> found;
    const web_testing::HttpReply reply = web_testing::http_get(port, "/api/v1/query?query=" + url_encoded(expression));
    boost::system::error_code error;
    const json::value answer = json::parse(reply.body, error);
    if (error || !answer.is_object() || !answer.as_object().contains("data"))
        return found;
    for (const json::value &sample : answer.at("data").at("result").as_array()) {
        const json::object &metric = sample.at("metric").as_object();
        const std::string key = metric.contains(by) ? std::string(metric.at(by).as_string()) : "";
        found[key] = std::atof(std::string(sample.at("value").as_array().at(1).as_string()).c_str());
    }
    return found;
}

// The same from the gateway's API: team name -> score, and "players" -> their number.
std::map<std::string, double> from_gateway(int port) {
    std::map<std::string, double> found;
    boost::system::error_code error;
    const json::value state = json::parse(
        web_testing::http_get(port, "/api/servers/sim", std::string("Authorization: Bearer ") + kToken + "\r\n").body,
        error);
    if (error || !state.is_object() || !state.as_object().contains("server") || !state.at("server").is_object())
        return found;
    for (const json::value &team : state.at("server").at("teams").as_array())
        found[std::string(team.at("name").as_string())] = static_cast<double>(team.at("score").as_int64());
    found["players"] = static_cast<double>(state.at("players").as_array().size());
    return found;
}

std::map<std::string, double> from_prometheus(int port) {
    std::map<std::string, double> found = query(port, "orlex_server_team_score{server=\"sim\"}", "team");
    const std::map<std::string, double> players = query(port, "orlex_server_players{server=\"sim\"}", "server");
    if (players.count("sim"))
        found["players"] = players.at("sim");
    return found;
}

// A Prometheus scraping the gateway every second, with the token; its data in a folder of its own.
class ScrapingPrometheus {
public:
    explicit ScrapingPrometheus(int gateway_port) {
        char directory[] = "/tmp/orlex_prometheus_XXXXXX";
        directory_ = mkdtemp(directory) ? directory : "/tmp";
        const std::string config = directory_ + "/prometheus.yml";
        std::ofstream(config) << "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                                 "scrape_configs:\n  - job_name: orlex\n    authorization:\n      credentials: "
                              << kToken << "\n    static_configs:\n      - targets: ['127.0.0.1:" << gateway_port
                              << "']\n";
        port_ = testing_support::free_port();
        process_ = std::make_unique<Process>(
            kPrometheus,
            std::vector<std::string>{"--config.file=" + config, "--storage.tsdb.path=" + directory_ + "/data",
                                     "--web.listen-address=127.0.0.1:" + std::to_string(port_),
                                     "--storage.tsdb.retention.time=1h", "--log.level=warn"});
        ready_ =
            testing_support::wait_until([&] { return web_testing::http_get(port_, "/-/ready").status == 200; }, kWait);
    }
    ~ScrapingPrometheus() {
        process_->stop(SIGTERM);
        std::system(("rm -rf " + directory_).c_str());
    }
    bool ready() const { return ready_; }
    int port() const { return port_; }
    Process &process() { return *process_; }

private:
    std::string directory_;
    int port_ = 0;
    bool ready_ = false;
    std::unique_ptr<Process> process_;
};

// Every series of the gateway's Prometheus has stored so far (the head block holds them all).
size_t stored_series(int port) {
    const web_testing::HttpReply reply =
        web_testing::http_get(port, "/api/v1/series?match[]=" + url_encoded("{__name__=~\"orlex_.+\"}") + "&start=0");
    boost::system::error_code error;
    const json::value answer = json::parse(reply.body, error);
    if (error || !answer.is_object() || !answer.as_object().contains("data"))
        return 0;
    return answer.at("data").as_array().size();
}

}  // namespace

TEST(Prometheus, ScrapesTheGatewayAndAgreesWithTheServerRecord) {
    if (access(kPrometheus, X_OK) != 0)
        GTEST_SKIP() << "prometheus is not installed (scripts/install-deps.sh web installs it)";
    SimServer sim("cstrike", 10);
    Gateway gateway({"--server", "sim=" + sim.address(), "--token", kToken});
    ASSERT_GT(gateway.port(), 0) << gateway.process().err();

    const web_testing::HttpReply refused = web_testing::http_get(gateway.port(), "/metrics");
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.body.find("orlex_"), std::string::npos);

    ScrapingPrometheus scraper(gateway.port());
    ASSERT_TRUE(scraper.ready()) << scraper.process().err();
    const int port = scraper.port();
    Process &prometheus = scraper.process();

    // Scores and the player count, as stored by Prometheus, equal what the gateway holds; the
    // match goes on, so wait for a moment where the last scrape has the latest record.
    std::map<std::string, double> stored, held;
    EXPECT_TRUE(testing_support::wait_until(
        [&] {
            held = from_gateway(gateway.port());
            stored = from_prometheus(port);
            return held.size() >= 3 && held.count("players") && held.at("players") > 0 && stored == held;
        },
        kWait * 2))
        << "prometheus: " << ::testing::PrintToString(stored) << " gateway: " << ::testing::PrintToString(held)
        << prometheus.err();
    EXPECT_EQ(query(port, "orlex_server_up{server=\"sim\"}", "server"), (std::map<std::string, double>{{"sim", 1}}));
    EXPECT_EQ(query(port, "sum(orlex_server_team_players{server=\"sim\"})", "").at(""), held.at("players"));

    // The link lost: up is 0, and the players' aggregates are gone from the next scrape.
    sim.process().stop(SIGKILL);
    EXPECT_TRUE(testing_support::wait_until(
        [&] {
            return query(port, "orlex_server_up{server=\"sim\"}", "server") ==
                       std::map<std::string, double>{{"sim", 0}} &&
                   query(port, "orlex_server_team_players{server=\"sim\"}", "team").empty();
        },
        kWait));
}

// Players churning: bots leave and join again at every map change, a map a minute at 60 times real
// time. Without --metrics-players the series are the servers' and stay put however many players
// come and go; with it, the slots bound them.
TEST(Prometheus, SeriesStayBoundedWhilePlayersChurn) {
    if (access(kPrometheus, X_OK) != 0)
        GTEST_SKIP() << "prometheus is not installed (scripts/install-deps.sh web installs it)";
    SimServer sim("cstrike", 12, 0, {"--speed", "60", "--rotate", "1"});
    Gateway plain({"--server", "sim=" + sim.address(), "--token", kToken});
    Gateway per_player({"--server", "sim=" + sim.address(), "--token", kToken, "--metrics-players"});
    ASSERT_GT(plain.port(), 0) << plain.process().err();
    ASSERT_GT(per_player.port(), 0) << per_player.process().err();
    ScrapingPrometheus scraping_plain(plain.port()), scraping_players(per_player.port());
    ASSERT_TRUE(scraping_plain.ready() && scraping_players.ready()) << scraping_plain.process().err();
    ASSERT_TRUE(testing_support::wait_until([&] { return stored_series(scraping_plain.port()) > 0; }, kWait));
    const size_t plain_at_start = stored_series(scraping_plain.port());
    // Ten seconds: ten maps, each with every bot gone and back.
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const size_t plain_after = stored_series(scraping_plain.port());
    const size_t players_after = stored_series(scraping_players.port());
    std::printf("series stored over 10 maps of churn: %zu at first, %zu after; with --metrics-players %zu\n",
                plain_at_start, plain_after, players_after);
    // The server's series and one per team: a few more at most (a team name seen first mid-match).
    EXPECT_LE(plain_after, plain_at_start + 4);
    // Six player series for each of the server's 32 slots at the very most, whatever the churn.
    EXPECT_LE(players_after, plain_after + 6 * 32 + 32);
}
