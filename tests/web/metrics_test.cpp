// The metrics' exposition text for a known state, exactly; per-player series only when asked, by
// slot; and what promtool makes of it.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "client/sample_records.h"
#include "web/fold_helpers.h"
#include "web/metrics.h"

TEST(Metrics, ExpositionTextOfAKnownState) {
    web::ServerFold alpha({"alpha", "10.0.0.1", 40015}, 3);
    const std::string stream = samples::server() +
                               samples::players({"Ann", "Bo\"b\\"}, {{"KILLS", "3.000000", "-1.000000"},
                                                                     {"DEATHS", "2", "4"},
                                                                     {"HEALTH", "0.500000", "0.000000"},
                                                                     {"PINGS", "25", "130"},
                                                                     {"PACKET_LOSS", "5", "7"},
                                                                     {"TEAM", "1", "-1"},
                                                                     {"USER_ID", "5", "9"},
                                                                     {"INDEX_NUM", "3", "12"}}) +
                               "NOT A RECORD\n\n";
    web_testing::fold_into(alpha, stream);
    alpha.state.connected = true;
    alpha.counters.reconnects = 2;
    web::ServerFold down({"beta", "10.0.0.2", 40015}, 3);
    EXPECT_EQ(
        web::metrics_text({&alpha, &down}),
        "# HELP orlex_server_up 1 while the gateway is connected to the server's plug-in, else 0.\n"
        "# TYPE orlex_server_up gauge\n"
        "orlex_server_up{server=\"alpha\"} 1\n"
        "orlex_server_up{server=\"beta\"} 0\n"
        "# HELP orlex_server_stale 1 while connected but the server's report has not come for three of its periods "
        "(60 s when unknown), whatever else it sends.\n"
        "# TYPE orlex_server_stale gauge\n"
        "orlex_server_stale{server=\"alpha\"} 0\n"
        "orlex_server_stale{server=\"beta\"} 0\n"
        "# HELP orlex_server_players Players on the server, by its latest player report.\n"
        "# TYPE orlex_server_players gauge\n"
        "orlex_server_players{server=\"alpha\"} 2\n"
        "# HELP orlex_server_max_players Player slots of the server.\n"
        "# TYPE orlex_server_max_players gauge\n"
        "orlex_server_max_players{server=\"alpha\"} 32\n"
        "# HELP orlex_server_team_score Score of each team of the running game.\n"
        "# TYPE orlex_server_team_score gauge\n"
        "orlex_server_team_score{server=\"alpha\",team=\"TERRORIST\"} 3\n"
        "orlex_server_team_score{server=\"alpha\",team=\"CT\"} 5\n"
        "# HELP orlex_server_time_left_seconds Time left on the map; absent without a time limit.\n"
        "# TYPE orlex_server_time_left_seconds gauge\n"
        "orlex_server_time_left_seconds{server=\"alpha\"} 754.5\n"
        "# HELP orlex_server_uptime_seconds Time since the server started.\n"
        "# TYPE orlex_server_uptime_seconds gauge\n"
        "orlex_server_uptime_seconds{server=\"alpha\"} 3725\n"
        "# HELP orlex_server_records_received_total Well-formed records received from the plug-in.\n"
        "# TYPE orlex_server_records_received_total counter\n"
        "orlex_server_records_received_total{server=\"alpha\"} 2\n"
        "orlex_server_records_received_total{server=\"beta\"} 0\n"
        "# HELP orlex_server_malformed_records_total Records from the plug-in skipped as malformed.\n"
        "# TYPE orlex_server_malformed_records_total counter\n"
        "orlex_server_malformed_records_total{server=\"alpha\"} 1\n"
        "orlex_server_malformed_records_total{server=\"beta\"} 0\n"
        "# HELP orlex_server_records_over_limits_total Records dropped whole for breaking a limit of what a genuine "
        "plug-in sends.\n"
        "# TYPE orlex_server_records_over_limits_total counter\n"
        "orlex_server_records_over_limits_total{server=\"alpha\"} 0\n"
        "orlex_server_records_over_limits_total{server=\"beta\"} 0\n"
        "# HELP orlex_server_sends_over_limits 1 when the server has sent records over the limits of a genuine "
        "plug-in.\n"
        "# TYPE orlex_server_sends_over_limits gauge\n"
        "orlex_server_sends_over_limits{server=\"alpha\"} 0\n"
        "orlex_server_sends_over_limits{server=\"beta\"} 0\n"
        "# HELP orlex_server_log_lines_total Lines of the server's log read into events.\n"
        "# TYPE orlex_server_log_lines_total counter\n"
        "orlex_server_log_lines_total{server=\"alpha\"} 0\n"
        "orlex_server_log_lines_total{server=\"beta\"} 0\n"
        "# HELP orlex_server_log_malformed_total Datagrams from the server's address that were not log lines.\n"
        "# TYPE orlex_server_log_malformed_total counter\n"
        "orlex_server_log_malformed_total{server=\"alpha\"} 0\n"
        "orlex_server_log_malformed_total{server=\"beta\"} 0\n"
        "# HELP orlex_server_reconnects_total Connections to the plug-in made after the first.\n"
        "# TYPE orlex_server_reconnects_total counter\n"
        "orlex_server_reconnects_total{server=\"alpha\"} 2\n"
        "orlex_server_reconnects_total{server=\"beta\"} 0\n"
        "# HELP orlex_server_team_players Players on each team; \"none\" counts those in no team.\n"
        "# TYPE orlex_server_team_players gauge\n"
        "orlex_server_team_players{server=\"alpha\",team=\"CT\"} 1\n"
        "orlex_server_team_players{server=\"alpha\",team=\"none\"} 1\n"
        "# HELP orlex_server_worst_ping_seconds The highest ping of the players on.\n"
        "# TYPE orlex_server_worst_ping_seconds gauge\n"
        "orlex_server_worst_ping_seconds{server=\"alpha\"} 0.13\n"
        "# HELP orlex_server_worst_packet_loss_ratio The highest share of packets lost of the players on.\n"
        "# TYPE orlex_server_worst_packet_loss_ratio gauge\n"
        "orlex_server_worst_packet_loss_ratio{server=\"alpha\"} 0.07\n"
        "# HELP orlex_server_lossy_players Players losing more than 5% of their packets.\n"
        "# TYPE orlex_server_lossy_players gauge\n"
        "orlex_server_lossy_players{server=\"alpha\"} 1\n");
}

namespace {

web::ServerFold two_players() {
    web::ServerFold alpha({"alpha", "10.0.0.1", 40015}, 3);
    web_testing::fold_into(alpha,
                           samples::server() + samples::players({"Ann", "Bo\"b\\"}, {{"KILLS", "3.000000", "-1.000000"},
                                                                                     {"USER_ID", "5", "9"},
                                                                                     {"INDEX_NUM", "3", "12"}}));
    alpha.state.connected = true;
    return alpha;
}

std::vector<std::string> lines_with(const std::string &text, const std::string &part) {
    std::vector<std::string> found;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        if (line.find(part) != std::string::npos && line[0] != '#')
            found.push_back(line);
    }
    return found;
}

}  // namespace

// Per-player series only when asked, keyed by slot; the name in the info series alone, so that a
// rename or a reconnect (a new user id) forks no series but the info one.
TEST(Metrics, PlayerSeriesOnlyWhenAskedKeyedBySlot) {
    web::ServerFold alpha = two_players();
    EXPECT_EQ(web::metrics_text({&alpha}).find("orlex_player_"), std::string::npos);  // not even HELP
    const std::string text = web::metrics_text({&alpha}, true);
    EXPECT_EQ(lines_with(text, "orlex_player_info{"),
              (std::vector<std::string>{"orlex_player_info{server=\"alpha\",slot=\"3\",name=\"Ann\"} 1",
                                        "orlex_player_info{server=\"alpha\",slot=\"12\",name=\"Bo\\\"b\\\\\"} 1"}));
    EXPECT_EQ(lines_with(text, "orlex_player_frags{"),
              (std::vector<std::string>{"orlex_player_frags{server=\"alpha\",slot=\"3\"} 3",
                                        "orlex_player_frags{server=\"alpha\",slot=\"12\"} -1"}));
    EXPECT_TRUE(lines_with(text, "name=").size() == 2) << text;

    // Ann renamed and reconnected (a new user id) in the same slot: only the info series changes.
    web_testing::fold_into(alpha, samples::players({"Anna"}, {{"USER_ID", "77"}, {"INDEX_NUM", "3"}}));
    const std::string after = web::metrics_text({&alpha}, true);
    EXPECT_EQ(lines_with(after, "orlex_player_frags{"),
              (std::vector<std::string>{"orlex_player_frags{server=\"alpha\",slot=\"3\"} 0"}));
    EXPECT_EQ(lines_with(after, "orlex_player_info{"),
              (std::vector<std::string>{"orlex_player_info{server=\"alpha\",slot=\"3\",name=\"Anna\"} 1"}));

    // A lost link takes every player's series; a slot out of range or given twice is one series at most.
    web_testing::fold_into(alpha, samples::players({"X", "Y", "Z"}, {{"INDEX_NUM", "4", "4", "999"}}));
    EXPECT_EQ(lines_with(web::metrics_text({&alpha}, true), "orlex_player_ping_seconds{").size(), 1u);
    alpha.state.connected = false;
    EXPECT_TRUE(lines_with(web::metrics_text({&alpha}, true), "orlex_player_").empty());
}

// promtool, the Prometheus project's own checker, finds nothing to fault in either exposition.
TEST(Metrics, PromtoolAcceptsTheExposition) {
    if (std::system("command -v promtool >/dev/null") != 0)
        GTEST_SKIP() << "promtool is not installed (scripts/install-deps.sh web installs prometheus)";
    web::ServerFold alpha = two_players();
    web::ServerFold down({"beta", "10.0.0.2", 40015}, 3);
    for (bool per_player : {false, true}) {
        char path[] = "/tmp/orlex_metrics_XXXXXX";
        const int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        const std::string text = web::metrics_text({&alpha, &down}, per_player);
        ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fd);
        const std::string command = std::string("promtool check metrics < ") + path + " > " + path + ".out 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream report(std::string(path) + ".out");
        const std::string said((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
        EXPECT_EQ(status, 0) << said;
        EXPECT_EQ(said, "") << "per player: " << per_player;
        std::remove(path);
        std::remove((std::string(path) + ".out").c_str());
    }
}
