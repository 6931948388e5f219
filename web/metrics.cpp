#include "web/metrics.h"

#include <cmath>
#include <functional>
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

// Each player once: two entries with the same id and name would be one series twice.
std::vector<std::pair<std::string, const view::Player *>> player_labels(const ServerState &server) {
    std::vector<std::pair<std::string, const view::Player *>> found;
    if (!server.connected)
        return found;
    std::set<std::string> seen;
    const std::vector<view::Player> &players = server.view().players;
    for (size_t at = 0; at < players.size(); ++at) {
        const int id = players[at].user_id;
        const std::string labels =
            server_label(server) + ",player=\"" + std::to_string(id) + "\",name=\"" + label(players[at].name) + "\"";
        if (seen.insert(labels).second)
            found.emplace_back(labels, &players[at]);
    }
    return found;
}

void player_family(Exposition &out, const Family &family, const std::vector<const ServerFold *> &servers,
                   const std::function<double(const view::Player &)> &value) {
    out.family(family, servers, [&](const ServerFold &server) {
        for (const auto &player : player_labels(server.state))
            out.sample(player.first, value(*player.second));
    });
}

}  // namespace

std::string metrics_text(const std::vector<const ServerFold *> &servers) {
    Exposition out;
    out.family({"orlex_server_up", "gauge", "1 while the gateway is connected to the server's plug-in, else 0."},
               servers, [&](const ServerFold &f) {
                   const ServerState &s = f.state;
                   out.sample(server_label(s), s.connected ? 1 : 0);
               });
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
    return out.text();
}

}  // namespace web
