#include "web/alerts/alert_rules.h"

#include <algorithm>
#include <cstdio>

namespace web {
namespace {

constexpr char kTeamPrefix[] = "(TEAM)";
constexpr size_t kLongestName = 64;

std::string whole(double value) { return std::to_string(static_cast<long long>(value)); }

}  // namespace

bool split_chat(const std::string &line, const std::vector<view::Player> &players, std::string *name,
                std::string *message) {
    std::string text = line;
    if (text.compare(0, sizeof(kTeamPrefix) - 1, kTeamPrefix) == 0)
        text.erase(0, sizeof(kTeamPrefix) - 1);
    // The longest name of a player on that the line starts with, then ": ".
    size_t cut = std::string::npos;
    for (const view::Player &player : players) {
        const std::string &known = player.name;
        if (!known.empty() && text.size() >= known.size() + 2 && text.compare(0, known.size(), known) == 0 &&
            text.compare(known.size(), 2, ": ") == 0 && (cut == std::string::npos || known.size() > cut))
            cut = known.size();
    }
    if (cut == std::string::npos)
        cut = text.find(": ");
    if (cut == std::string::npos)
        return false;
    *name = text.substr(0, std::min(cut, kLongestName));
    *message = text.substr(cut + 2, AlertRules::kLongestMessage);
    return true;
}

void AlertRules::configure(AlertsConfig config) {
    config_ = std::move(config);
    last_sent_.clear();
    since_.clear();
    fired_.clear();
}

// True (and remembered) when the key has not been raised within the rule's cooldown.
bool AlertRules::cooled(const Key &key, const AlertRule &rule, double now) {
    const auto found = last_sent_.find(key);
    if (found != last_sent_.end() && now - found->second < rule.cooldown)
        return false;
    if (found == last_sent_.end() && last_sent_.size() >= kMostCooldowns) {
        // Those whose cooldown is over are forgotten first; failing that, one never to be
        // remembered is not raised: a flood of new names gets no alert rather than unbounded memory.
        for (auto it = last_sent_.begin(); it != last_sent_.end();)
            it = now - it->second >= config_.rules[std::get<0>(it->first)].cooldown ? last_sent_.erase(it) : ++it;
        if (last_sent_.size() >= kMostCooldowns)
            return false;
    }
    last_sent_[key] = now;
    return true;
}

void AlertRules::raise(size_t rule, Alert alert, double now, bool mind_cooldown) {
    const AlertRule &found = config_.rules[rule];
    if (mind_cooldown && !cooled(Key{rule, alert.server, alert.player}, found, now))
        return;
    raise_(alert, config_.webhooks[found.webhook]);
}

void AlertRules::chat(const std::string &server, const std::string &line, const std::vector<view::Player> &players,
                      double now, int64_t wall_ms) {
    std::string name, message;
    bool split = false;
    for (size_t index = 0; index < config_.rules.size(); ++index) {
        const AlertRule &rule = config_.rules[index];
        if (rule.kind != AlertRule::Kind::chat || !rule.covers(server))
            continue;
        if (!split && !(split = split_chat(line, players, &name, &message)))
            return;
        if (rule.pattern.matches(message))
            raise(index, Alert{"chat", server, name, message, 0, wall_ms}, now);
    }
}

void AlertRules::tick(const std::vector<ServerView> &servers, double now, int64_t wall_ms) {
    for (size_t index = 0; index < config_.rules.size(); ++index)
        for (const ServerView &server : servers) {
            if (!config_.rules[index].covers(server.name))
                continue;
            switch (config_.rules[index].kind) {
                case AlertRule::Kind::down:
                    down_rule(index, server, now, wall_ms);
                    break;
                case AlertRule::Kind::players:
                    players_rule(index, server, now, wall_ms);
                    break;
                case AlertRule::Kind::ping:
                case AlertRule::Kind::loss:
                    player_bound_rule(index, server, now, wall_ms);
                    break;
                case AlertRule::Kind::chat:
                    break;
            }
        }
}

// Down for the rule's seconds: one alert; back up after it: one more, whatever the cooldown. Only
// a server seen up is ever down: one still starting, or down before the gateway (or these rules)
// started, is not alerted on.
void AlertRules::down_rule(size_t index, const ServerView &server, double now, int64_t wall_ms) {
    const Key key{index, server.name, ""};
    const double seconds = config_.rules[index].seconds;
    if (!server.ever_up)
        return;
    if (server.connected) {
        if (since_.erase(key) > 0 && fired_[key])
            raise(index, Alert{"up", server.name, "", server.name + " is back up", 0, wall_ms}, now, false);
        fired_.erase(key);
        return;
    }
    const double since = since_.emplace(key, now).first->second;
    if (fired_[key] || now - since < seconds)
        return;
    fired_[key] = true;
    raise(index,
          Alert{"down", server.name, "", server.name + " is down (" + whole(now - since) + " s without its plug-in)",
                now - since, wall_ms},
          now);
}

void AlertRules::players_rule(size_t index, const ServerView &server, double now, int64_t wall_ms) {
    const AlertRule &rule = config_.rules[index];
    const Key key{index, server.name, ""};
    if (!server.connected || !server.state || !server.state->have_players) {
        since_.erase(key);
        fired_.erase(key);
        return;
    }
    const double count = static_cast<double>(server.state->players.size());
    const bool holds = rule.has_above ? count > rule.above : count < rule.below;
    if (!holds) {
        since_.erase(key);
        fired_.erase(key);
        return;
    }
    const double since = since_.emplace(key, now).first->second;
    if (fired_[key] || now - since < rule.seconds)
        return;
    fired_[key] = true;
    const std::string bound = rule.has_above ? "above " + whole(rule.above) : "below " + whole(rule.below);
    raise(index, Alert{"players", server.name, "", whole(count) + " players, " + bound, count, wall_ms}, now);
}

void AlertRules::player_bound_rule(size_t index, const ServerView &server, double now, int64_t wall_ms) {
    const AlertRule &rule = config_.rules[index];
    const bool ping = rule.kind == AlertRule::Kind::ping;
    // Whoever is no longer on, or no longer above, starts again.
    std::vector<std::string> above;
    if (server.connected && server.state)
        for (const view::Player &player : server.state->players)
            if ((ping ? player.ping : player.loss) > rule.above)
                above.push_back(player.name.substr(0, kLongestName));
    for (auto it = since_.begin(); it != since_.end();) {
        const bool mine = std::get<0>(it->first) == index && std::get<1>(it->first) == server.name;
        if (mine && std::find(above.begin(), above.end(), std::get<2>(it->first)) == above.end()) {
            fired_.erase(it->first);
            it = since_.erase(it);
        } else {
            ++it;
        }
    }
    if (above.empty())
        return;
    for (const view::Player &player : server.state->players) {
        const double value = ping ? player.ping : player.loss;
        if (value <= rule.above)
            continue;
        const Key key{index, server.name, player.name.substr(0, kLongestName)};
        const double since = since_.emplace(key, now).first->second;
        if (fired_[key] || now - since < rule.seconds)
            continue;
        fired_[key] = true;
        const std::string unit = ping ? " ms ping" : "% packet loss";
        raise(index,
              Alert{ping ? "ping" : "loss", server.name, std::get<2>(key),
                    whole(value) + unit + " for " + whole(now - since) + " s (above " + whole(rule.above) + ")", value,
                    wall_ms},
              now);
    }
}

}  // namespace web
