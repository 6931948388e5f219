// The alert rules at work, on the event loop: chat lines as they arrive, and the servers' states
// once a second (down and back up, players above or below a count, a player's ping or loss above
// a bound for a while). Each alert at most once per rule, server and player per cooldown. No I/O:
// what is raised goes to the Raise callback with the rule's webhook.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "stream/view_state.h"
#include "web/alerts/alert.h"
#include "web/alerts/alerts_config.h"

namespace web {

class AlertRules {
public:
    static constexpr size_t kMostCooldowns = 4096;  // remembered (rule, server, player) triples
    static constexpr size_t kLongestMessage = 512;  // chat text looked at

    using Raise = std::function<void(const Alert &, const Webhook &)>;
    // What a tick looks at of one server.
    struct ServerView {
        std::string name;
        bool connected = false;
        bool ever_up = false;  // records came from it since the gateway started
        const view::State *state = nullptr;
    };

    explicit AlertRules(Raise raise) : raise_(std::move(raise)) {}
    // A new file's rules; what the old ones were tracking is forgotten.
    void configure(AlertsConfig config);
    const AlertsConfig &config() const { return config_; }

    // A SAY or SAY_TEAM record's CHAT text ("NAME: TEXT", "(TEAM)NAME: TEXT"); `players` names
    // who is on, so that a name with ": " in it is cut right. Times in seconds of a steady clock.
    void chat(const std::string &server, const std::string &line, const std::vector<view::Player> &players, double now,
              int64_t wall_ms);
    void tick(const std::vector<ServerView> &servers, double now, int64_t wall_ms);

private:
    using Key = std::tuple<size_t, std::string, std::string>;  // rule, server, player
    bool cooled(const Key &key, const AlertRule &rule, double now);
    void raise(size_t rule, Alert alert, double now, bool mind_cooldown = true);
    void down_rule(size_t index, const ServerView &server, double now, int64_t wall_ms);
    void players_rule(size_t index, const ServerView &server, double now, int64_t wall_ms);
    void player_bound_rule(size_t index, const ServerView &server, double now, int64_t wall_ms);

    Raise raise_;
    AlertsConfig config_;
    std::map<Key, double> last_sent_;
    std::map<Key, double> since_;  // when a condition began to hold (down, players, a player's bound)
    std::map<Key, bool> fired_;    // raised during the condition (down: an up alert is owed)
};

// The speaker and the message of a chat record's text; false when it has no "NAME: " part.
bool split_chat(const std::string &line, const std::vector<view::Player> &players, std::string *name,
                std::string *message);

}  // namespace web
