#include "web/metrics.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "stream/numbers.h"
#include "web/utf8_text.h"

namespace web {
namespace {

// A label value: backslash, double quote and line end escaped; always valid UTF-8.
std::string label(const std::string &text) {
    std::string escaped;
    for (char c : valid_utf8(text)) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        if (c == '\n') {
            escaped += "\\n";
            continue;
        }
        escaped += c;
    }
    return escaped;
}

// Numbers as Prometheus reads them: whole numbers without a fraction, others shortest-exact.
std::string number(double value) {
    if (!std::isfinite(value))
        return "0";
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    std::ostringstream text;
    text.precision(6);
    text << value;
    return text.str();
}

struct Family {
    const char *name;
    const char *type;
    const char *help;
};

class Exposition {
public:
    // One family: its HELP and TYPE, then the samples `emit` adds for each server.
    void family(const Family &family, const std::vector<const ServerFold *> &servers,
                const std::function<void(const ServerFold &)> &emit) {
        text_ += std::string("# HELP ") + family.name + " " + family.help + "\n";
        text_ += std::string("# TYPE ") + family.name + " " + family.type + "\n";
        name_ = family.name;
        for (const ServerFold *server : servers)
            emit(*server);
    }
    void sample(const std::string &labels, double value) {
        text_ += name_ + "{" + labels + "} " + number(value) + "\n";
    }
    std::string text() const { return text_; }

private:
    std::string text_;
    std::string name_;
};

std::string server_label(const ServerState &server) { return "server=\"" + label(server.address().name) + "\""; }

bool known(const ServerState &server) { return server.connected && server.view().have_server; }

// Each slot once (a record naming a slot twice would be one series twice); slot 0 is no slot.
std::vector<std::pair<std::string, const view::Player *>> player_labels(const ServerState &server) {
    std::vector<std::pair<std::string, const view::Player *>> found;
    if (!server.connected)
        return found;
    std::set<int> seen;
    for (const view::Player &player : server.view().players)
        if (player.slot > 0 && seen.insert(player.slot).second)
            found.emplace_back(server_label(server) + ",slot=\"" + std::to_string(player.slot) + "\"", &player);
    return found;
}

void player_family(Exposition &out, const Family &family, const std::vector<const ServerFold *> &servers,
                   const std::function<double(const view::Player &)> &value) {
    out.family(family, servers, [&](const ServerFold &server) {
        for (const auto &player : player_labels(server.state))
            out.sample(player.first, value(*player.second));
    });
}

// A player's team as the page shows it: the server record's name for it, "none" outside any.
std::string team_label(const view::State &view, int team) {
    if (team >= 0 && static_cast<size_t>(team) < view.server.teams.size())
        return label(view.server.teams[static_cast<size_t>(team)].name);
    return team < 0 ? "none" : std::to_string(team);
}

bool have_players(const ServerState &server) { return server.connected && server.view().have_players; }

// The worst of the players' values; absent when no player is on.
void worst_of(Exposition &out, const ServerState &server, const std::function<double(const view::Player &)> &value) {
    if (!have_players(server) || server.view().players.empty())
        return;
    double worst = 0;
    for (const view::Player &player : server.view().players)
        worst = std::max(worst, value(player));
    out.sample(server_label(server), worst);
}

// What alerting needs of the players without a series per player: bounded by the servers alone.
void player_aggregates(Exposition &out, const std::vector<const ServerFold *> &servers) {
    out.family({"orlex_server_team_players", "gauge", "Players on each team; \"none\" counts those in no team."},
               servers, [&](const ServerFold &f) {
                   const ServerState &s = f.state;
                   if (!have_players(s))
                       return;
                   std::map<std::string, int> counts;
                   for (const view::Player &player : s.view().players)
                       ++counts[team_label(s.view(), player.team)];
                   for (const auto &team : counts)
                       out.sample(server_label(s) + ",team=\"" + team.first + "\"", team.second);
               });
    out.family(
        {"orlex_server_worst_ping_seconds", "gauge", "The highest ping of the players on."}, servers,
        [&](const ServerFold &f) { worst_of(out, f.state, [](const view::Player &p) { return p.ping / 1000.0; }); });
    out.family(
        {"orlex_server_worst_packet_loss_ratio", "gauge", "The highest share of packets lost of the players on."},
        servers,
        [&](const ServerFold &f) { worst_of(out, f.state, [](const view::Player &p) { return p.loss / 100.0; }); });
    out.family({"orlex_server_lossy_players", "gauge", "Players losing more than 5% of their packets."}, servers,
               [&](const ServerFold &f) {
                   const ServerState &s = f.state;
                   if (!have_players(s))
                       return;
                   int lossy = 0;
                   for (const view::Player &player : s.view().players)
                       lossy += player.loss > kLossyPercent ? 1 : 0;
                   out.sample(server_label(s), lossy);
               });
}

// Opt-in: a series per slot, the name only in the info series so that a rename forks one series.
void player_series(Exposition &out, const std::vector<const ServerFold *> &servers) {
    out.family({"orlex_player_info", "gauge", "1 for each player on, by slot, with the player's name."}, servers,
               [&](const ServerFold &f) {
                   for (const auto &player : player_labels(f.state))
                       out.sample(player.first + ",name=\"" + label(player.second->name) + "\"", 1);
               });
    player_family(out, {"orlex_player_frags", "gauge", "The player's frags (score) on this map."}, servers,
                  [](const view::Player &p) { return p.frags; });
    player_family(out, {"orlex_player_deaths", "gauge", "The player's deaths on this map."}, servers,
                  [](const view::Player &p) { return static_cast<double>(p.deaths); });
    player_family(out, {"orlex_player_ping_seconds", "gauge", "The player's ping."}, servers,
                  [](const view::Player &p) { return p.ping / 1000.0; });
    player_family(out, {"orlex_player_packet_loss_ratio", "gauge", "The share of the player's packets lost, 0 to 1."},
                  servers, [](const view::Player &p) { return p.loss / 100.0; });
    player_family(out, {"orlex_player_health_ratio", "gauge", "The player's health as a share of the maximum."},
                  servers, [](const view::Player &p) { return p.health; });
}

}  // namespace

std::string metrics_text(const std::vector<const ServerFold *> &servers, bool per_player) {
    Exposition out;
    out.family({"orlex_server_up", "gauge", "1 while the gateway is connected to the server's plug-in, else 0."},
               servers, [&](const ServerFold &f) {
                   const ServerState &s = f.state;
                   out.sample(server_label(s), s.connected ? 1 : 0);
               });
    out.family({"orlex_server_stale", "gauge",
                "1 while connected but the server's report has not come for three of its periods (60 s when "
                "unknown), whatever else it sends."},
               servers, [&](const ServerFold &f) { out.sample(server_label(f.state), f.state.stale ? 1 : 0); });
    out.family({"orlex_server_players", "gauge", "Players on the server, by its latest player report."}, servers,
               [&](const ServerFold &f) {
                   const ServerState &s = f.state;
                   if (s.connected && s.view().have_players)
                       out.sample(server_label(s), static_cast<double>(s.view().players.size()));
               });
    out.family({"orlex_server_max_players", "gauge", "Player slots of the server."}, servers, [&](const ServerFold &f) {
        const ServerState &s = f.state;
        if (known(s))
            out.sample(server_label(s), view::number_or(s.view().server.max_players, 0));
    });
    out.family({"orlex_server_team_score", "gauge", "Score of each team of the running game."}, servers,
               [&](const ServerFold &f) {
                   const ServerState &s = f.state;
                   if (!known(s))
                       return;
                   std::set<std::string> seen;
                   for (const view::Team &team : s.view().server.teams)
                       if (seen.insert(team.name).second)
                           out.sample(server_label(s) + ",team=\"" + label(team.name) + "\"",
                                      view::number_or(team.score, 0));
               });
    out.family({"orlex_server_time_left_seconds", "gauge", "Time left on the map; absent without a time limit."},
               servers, [&](const ServerFold &f) {
                   const ServerState &s = f.state;
                   if (known(s) && s.view().server.time_left >= 0)
                       out.sample(server_label(s), s.view().server.time_left);
               });
    out.family({"orlex_server_uptime_seconds", "gauge", "Time since the server started."}, servers,
               [&](const ServerFold &f) {
                   const ServerState &s = f.state;
                   if (known(s))
                       out.sample(server_label(s), s.view().server.uptime);
               });
    out.family({"orlex_server_records_received_total", "counter", "Well-formed records received from the plug-in."},
               servers, [&](const ServerFold &f) {
                   const ServerState &s = f.state;
                   out.sample(server_label(s), static_cast<double>(f.counters.records));
               });
    out.family({"orlex_server_malformed_records_total", "counter", "Records from the plug-in skipped as malformed."},
               servers, [&](const ServerFold &f) {
                   const ServerState &s = f.state;
                   out.sample(server_label(s), static_cast<double>(f.counters.malformed));
               });
    out.family({"orlex_server_records_over_limits_total", "counter",
                "Records dropped whole for breaking a limit of what a genuine plug-in sends."},
               servers, [&](const ServerFold &f) {
                   out.sample(server_label(f.state), static_cast<double>(f.counters.over_limits));
               });
    out.family({"orlex_server_sends_over_limits", "gauge",
                "1 when the server has sent records over the limits of a genuine plug-in."},
               servers,
               [&](const ServerFold &f) { out.sample(server_label(f.state), f.counters.over_limits > 0 ? 1 : 0); });
    out.family(
        {"orlex_server_log_lines_total", "counter", "Lines of the server's log read into events."}, servers,
        [&](const ServerFold &f) { out.sample(server_label(f.state), static_cast<double>(f.counters.log_lines)); });
    out.family(
        {"orlex_server_log_malformed_total", "counter", "Datagrams from the server's address that were not log lines."},
        servers,
        [&](const ServerFold &f) { out.sample(server_label(f.state), static_cast<double>(f.counters.log_malformed)); });
    out.family({"orlex_server_reconnects_total", "counter", "Connections to the plug-in made after the first."},
               servers, [&](const ServerFold &f) {
                   const ServerState &s = f.state;
                   out.sample(server_label(s), static_cast<double>(f.counters.reconnects));
               });
    player_aggregates(out, servers);
    if (per_player)
        player_series(out, servers);
    return out.text();
}

}  // namespace web
