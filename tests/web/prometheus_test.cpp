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

    char directory[] = "/tmp/orlex_prometheus_XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string config = std::string(directory) + "/prometheus.yml";
    std::ofstream(config) << "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                             "scrape_configs:\n  - job_name: orlex\n    authorization:\n      credentials: "
                          << kToken << "\n    static_configs:\n      - targets: ['127.0.0.1:" << gateway.port()
                          << "']\n";
    const int port = testing_support::free_port();
    Process prometheus(kPrometheus,
                       {"--config.file=" + config, "--storage.tsdb.path=" + std::string(directory) + "/data",
                        "--web.listen-address=127.0.0.1:" + std::to_string(port), "--storage.tsdb.retention.time=1h",
                        "--log.level=warn"});
    ASSERT_TRUE(
        testing_support::wait_until([&] { return web_testing::http_get(port, "/-/ready").status == 200; }, kWait))
        << prometheus.err();

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
    prometheus.stop(SIGTERM);
    std::system(("rm -rf " + std::string(directory)).c_str());
}
