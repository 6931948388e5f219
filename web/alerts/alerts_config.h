// The --alerts file: webhooks (where alerts are posted, in which body) and the rules that raise
// alerts, as JSON (README). Every part is bounded; a file that breaks a bound is refused whole.
#pragma once

#include <string>
#include <vector>

#include "web/alerts/alert_pattern.h"

namespace web {

struct WebhookUrl {
    bool https = true;
    std::string host;
    int port = 443;
    std::string target = "/";  // path and query
};
// http:// or https://, a host, an optional port, a path; false with the reason otherwise.
bool parse_webhook_url(const std::string &text, WebhookUrl *url, std::string *error);

struct Webhook {
    enum class Format { json, chat };  // the event itself, or a chat service's {"content": text}
    std::string name;
    WebhookUrl url;
    Format format = Format::json;
};

struct AlertRule {
    enum class Kind { chat, down, players, ping, loss };
    Kind kind = Kind::chat;
    size_t webhook = 0;  // index into the webhooks
    std::string pattern_text = "^[!@]admin\\b";
    AlertPattern pattern;
    double seconds = 0;  // down, ping, loss: how long the condition holds first
    bool has_above = false, has_below = false;
    double above = 0, below = 0;
    double cooldown = 0;               // seconds; the file's default unless the rule gives its own
    std::vector<std::string> servers;  // empty: every server
    bool covers(const std::string &server) const;
};

struct AlertsConfig {
    static constexpr size_t kLargestFile = size_t{64} * 1024;
    static constexpr size_t kMostWebhooks = 16;
    static constexpr size_t kMostRules = 64;
    static constexpr double kDefaultCooldown = 300;

    std::vector<Webhook> webhooks;
    std::vector<AlertRule> rules;
    double cooldown = kDefaultCooldown;
};

const char *kind_name(AlertRule::Kind kind);

// False, with the first mistake, when the text is not a valid alerts file.
bool parse_alerts_config(const std::string &text, AlertsConfig *config, std::string *error);

}  // namespace web
