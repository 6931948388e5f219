#include "web/alerts/alerts.h"

#include <boost/json/parse.hpp>

#include <chrono>
#include <cstdio>

#include "web/config.h"
#include "web/wall_clock.h"

namespace web {
namespace {

double steady_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool is_chat(const records::Record &record) { return record.type == "SAY" || record.type == "SAY_TEAM"; }

}  // namespace

Alerts::Alerts(boost::asio::io_context &io, std::string path, std::string ca_file, Servers servers, Raised raised)
    : timer_(io),
      path_(std::move(path)),
      ca_file_(std::move(ca_file)),
      servers_(std::move(servers)),
      raised_(std::move(raised)),
      rules_([this](const Alert &alert, const Webhook &hook) { raise(alert, hook); }) {}

Alerts::~Alerts() = default;

bool Alerts::start(std::string *error) {
    std::string why;
    sender_ = std::make_unique<WebhookSender>(ca_file_, &why);
    if (!why.empty()) {
        *error = "--alerts-ca: " + why;
        return false;
    }
    if (!read_file(error))
        return false;
    timer_.expires_after(kTick);
    timer_.async_wait([this](boost::system::error_code e) {
        if (!e)
            check();
    });
    return true;
}

void Alerts::stop() {
    timer_.cancel();
    sender_.reset();
}

// The file's text, if it changed and parses; a mistake keeps the rules in force.
bool Alerts::read_file(std::string *error) {
    std::string text;
    if (!read_text_file(path_, &text, AlertsConfig::kLargestFile + 1)) {
        *error = "cannot read " + path_;
        return false;
    }
    if (text == text_)
        return true;
    text_ = text;
    AlertsConfig config;
    std::string why;
    if (!parse_alerts_config(text, &config, &why)) {
        *error = path_ + ": " + why;
        return false;
    }
    std::fprintf(stderr, "orlex_web: %s: %zu alert rules, %zu webhooks\n", path_.c_str(), config.rules.size(),
                 config.webhooks.size());
    rules_.configure(std::move(config));
    return true;
}

void Alerts::check() {
    std::string error;
    if (!read_file(&error))
        std::fprintf(stderr, "orlex_web: %s; the alert rules in force are kept\n", error.c_str());
    std::vector<AlertRules::ServerView> views;
    for (const ServerFold *server : servers_())
        views.push_back({server->state.address().name, server->state.connected, server->counters.records > 0,
                         &server->state.view()});
    rules_.tick(views, steady_seconds(), unix_ms_now());
    timer_.expires_after(kTick);
    timer_.async_wait([this](boost::system::error_code e) {
        if (!e)
            check();
    });
}

void Alerts::take(const ServerFold &server, const records::Record &record) {
    if (is_chat(record))
        rules_.chat(server.state.address().name, record.value("CHAT"), server.state.view().players, steady_seconds(),
                    unix_ms_now());
}

void Alerts::raise(const Alert &alert, const Webhook &hook) {
    std::deque<Alert> &recent = recent_[alert.server];
    recent.push_back(alert);
    while (recent.size() > kRecentPerServer)
        recent.pop_front();
    const std::string body = hook.format == Webhook::Format::chat ? chat_body(alert) : alert_json(alert);
    if (sender_)
        sender_->post({hook.url, hook.name, body, alert_sentence(alert)});
    if (raised_)
        raised_(alert.server);
}

boost::json::array Alerts::recent(const std::string &server) const {
    boost::json::array found;
    const auto alerts = recent_.find(server);
    if (alerts != recent_.end())
        for (const Alert &alert : alerts->second)
            found.push_back(boost::json::parse(alert_json(alert)));
    return found;
}

bool Alerts::matches_chat(const std::string &server, const std::string &line,
                          const std::vector<view::Player> &players) const {
    std::string name, message;
    if (!split_chat(line, players, &name, &message))
        return false;
    for (const AlertRule &rule : rules_.config().rules)
        if (rule.kind == AlertRule::Kind::chat && rule.covers(server) && rule.pattern.matches(message))
            return true;
    return false;
}

std::string Alerts::metrics_text() const {
    if (!sender_)
        return "";
    const WebhookCounts &counts = sender_->counts();
    std::string text;
    const auto counter = [&](const char *name, const char *help, uint64_t value) {
        text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " counter\n" + name + " " +
                std::to_string(value) + "\n";
    };
    counter("orlex_alerts_sent_total", "Alerts a webhook took.", counts.sent.load());
    counter("orlex_alerts_dropped_total", "Alerts dropped unsent: the queue was full, the oldest went.",
            counts.dropped.load());
    counter("orlex_alerts_failed_total", "Alerts given up after every try failed.", counts.failed.load());
    counter("orlex_alerts_retries_total", "Tries of an alert made again after one failed.", counts.retries.load());
    return text;
}

}  // namespace web
