// The metrics' exposition text for a known state, exactly; and a player who leaves is gone.
#include <gtest/gtest.h>

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
                                                                     {"PACKET_LOSS", "0", "3"},
                                                                     {"USER_ID", "5", "9"}}) +
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
        "# HELP orlex_player_frags The player's frags (score) on this map.\n"
        "# TYPE orlex_player_frags gauge\n"
        "orlex_player_frags{server=\"alpha\",player=\"5\",name=\"Ann\"} 3\n"
        "orlex_player_frags{server=\"alpha\",player=\"9\",name=\"Bo\\\"b\\\\\"} -1\n"
        "# HELP orlex_player_deaths The player's deaths on this map.\n"
        "# TYPE orlex_player_deaths gauge\n"
        "orlex_player_deaths{server=\"alpha\",player=\"5\",name=\"Ann\"} 2\n"
        "orlex_player_deaths{server=\"alpha\",player=\"9\",name=\"Bo\\\"b\\\\\"} 4\n"
        "# HELP orlex_player_ping_seconds The player's ping.\n"
        "# TYPE orlex_player_ping_seconds gauge\n"
        "orlex_player_ping_seconds{server=\"alpha\",player=\"5\",name=\"Ann\"} 0.025\n"
        "orlex_player_ping_seconds{server=\"alpha\",player=\"9\",name=\"Bo\\\"b\\\\\"} 0.13\n"
        "# HELP orlex_player_packet_loss_ratio The share of the player's packets lost, 0 to 1.\n"
        "# TYPE orlex_player_packet_loss_ratio gauge\n"
        "orlex_player_packet_loss_ratio{server=\"alpha\",player=\"5\",name=\"Ann\"} 0\n"
        "orlex_player_packet_loss_ratio{server=\"alpha\",player=\"9\",name=\"Bo\\\"b\\\\\"} 0.03\n"
        "# HELP orlex_player_health_ratio The player's health as a share of the maximum.\n"
        "# TYPE orlex_player_health_ratio gauge\n"
        "orlex_player_health_ratio{server=\"alpha\",player=\"5\",name=\"Ann\"} 0.5\n"
        "orlex_player_health_ratio{server=\"alpha\",player=\"9\",name=\"Bo\\\"b\\\\\"} 0\n");

    // Bo leaves: none of Bo's series is in the next scrape; a lost link takes every player's.
    const std::string left = samples::players({"Ann"}, {{"USER_ID", "5"}});
    web_testing::fold_into(alpha, left);
    EXPECT_EQ(web::metrics_text({&alpha}).find("player=\"9\""), std::string::npos);
    EXPECT_NE(web::metrics_text({&alpha}).find("player=\"5\""), std::string::npos);
    alpha.state.connected = false;
    EXPECT_EQ(web::metrics_text({&alpha}).find("orlex_player_frags{"), std::string::npos);
}
