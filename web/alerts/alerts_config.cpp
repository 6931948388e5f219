#include "web/alerts/alerts_config.h"

#include <boost/json/parse.hpp>
#include <boost/json/value.hpp>

#include <algorithm>
#include <cctype>

namespace web {
namespace {

namespace json = boost::json;

constexpr size_t kLongestName = 64;
constexpr size_t kLongestUrl = 1024;
constexpr size_t kMostServers = 256;
constexpr double kLongestSeconds = 7 * 24 * 3600;

bool fail(std::string *error, const std::string &why) {
    *error = why;
    return false;
}

bool text_field(const json::object &object, const char *key, size_t longest, std::string *out, std::string *error) {
    const json::value *value = object.if_contains(key);
    if (!value)
        return true;
    if (!value->is_string() || value->as_string().size() > longest || value->as_string().empty())
        return fail(error,
                    std::string("\"") + key + "\" must be a text of 1 to " + std::to_string(longest) + " characters");
    *out = std::string(value->as_string());
    return true;
}

// A number from 0 to `most`; false (with the reason) when given and not one.
bool number_field(const json::object &object, const char *key, double most, bool *given, double *out,
                  std::string *error) {
    const json::value *value = object.if_contains(key);
    *given = value != nullptr;
    if (!value)
        return true;
    if (!value->is_number() || value->to_number<double>() < 0 || value->to_number<double>() > most)
        return fail(error, std::string("\"") + key + "\" must be a number from 0 to " +
                               std::to_string(static_cast<long long>(most)));
    *out = value->to_number<double>();
    return true;
}

bool number_field(const json::object &object, const char *key, double most, double *out, std::string *error) {
    bool given = false;
    return number_field(object, key, most, &given, out, error);
}

bool webhook(const json::value &value, Webhook *hook, std::string *error) {
    if (!value.is_object())
        return fail(error, "a webhook must be an object");
    const json::object &object = value.as_object();
    std::string url, format = "json";
    if (!text_field(object, "name", kLongestName, &hook->name, error) ||
        !text_field(object, "url", kLongestUrl, &url, error) || !text_field(object, "format", 16, &format, error))
        return false;
    if (hook->name.empty() || url.empty())
        return fail(error, "a webhook needs a \"name\" and a \"url\"");
    if (format != "json" && format != "chat")
        return fail(error, "webhook " + hook->name + ": \"format\" must be \"json\" or \"chat\"");
    hook->format = format == "chat" ? Webhook::Format::chat : Webhook::Format::json;
    std::string why;
    if (!parse_webhook_url(url, &hook->url, &why))
        return fail(error, "webhook " + hook->name + ": " + why);
    return true;
}

bool kind_of(const std::string &name, AlertRule::Kind *kind) {
    for (AlertRule::Kind k : {AlertRule::Kind::chat, AlertRule::Kind::down, AlertRule::Kind::players,
                              AlertRule::Kind::ping, AlertRule::Kind::loss})
        if (name == kind_name(k)) {
            *kind = k;
            return true;
        }
    return false;
}

bool servers_field(const json::object &object, AlertRule *rule, std::string *error) {
    const json::value *value = object.if_contains("servers");
    if (!value)
        return true;
    if (!value->is_array() || value->as_array().size() > kMostServers)
        return fail(error, "\"servers\" must be a list of at most " + std::to_string(kMostServers) + " names");
    for (const json::value &name : value->as_array()) {
        if (!name.is_string() || name.as_string().empty() || name.as_string().size() > kLongestName)
            return fail(error, "\"servers\" must hold server names");
        rule->servers.emplace_back(name.as_string());
    }
    return true;
}

bool rule(const json::value &value, const AlertsConfig &config, AlertRule *found, std::string *error) {
    if (!value.is_object())
        return fail(error, "a rule must be an object");
    const json::object &object = value.as_object();
    std::string kind, hook;
    if (!text_field(object, "kind", 16, &kind, error) || !text_field(object, "webhook", kLongestName, &hook, error))
        return false;
    if (!kind_of(kind, &found->kind))
        return fail(error, "a rule's \"kind\" must be chat, down, players, ping or loss");
    const auto named =
        std::find_if(config.webhooks.begin(), config.webhooks.end(), [&](const Webhook &w) { return w.name == hook; });
    if (named == config.webhooks.end())
        return fail(error, "a " + kind + " rule names no webhook of the file (\"webhook\")");
    found->webhook = static_cast<size_t>(named - config.webhooks.begin());
    found->cooldown = config.cooldown;
    if (!text_field(object, "pattern", AlertPattern::kLongest, &found->pattern_text, error) ||
        !number_field(object, "seconds", kLongestSeconds, &found->seconds, error) ||
        !number_field(object, "above", 1e9, &found->has_above, &found->above, error) ||
        !number_field(object, "below", 1e9, &found->has_below, &found->below, error) ||
        !number_field(object, "cooldown", kLongestSeconds, &found->cooldown, error) ||
        !servers_field(object, found, error))
        return false;
    std::string why;
    if (found->kind == AlertRule::Kind::chat && !found->pattern.compile(found->pattern_text, &why))
        return fail(error, "pattern \"" + found->pattern_text + "\": " + why);
    if (found->kind == AlertRule::Kind::players && found->has_above == found->has_below)
        return fail(error, "a players rule needs one of \"above\" and \"below\"");
    if ((found->kind == AlertRule::Kind::ping || found->kind == AlertRule::Kind::loss) && !found->has_above)
        return fail(error, "a " + kind + " rule needs \"above\"");
    return true;
}

}  // namespace

const char *kind_name(AlertRule::Kind kind) {
    switch (kind) {
        case AlertRule::Kind::chat:
            return "chat";
        case AlertRule::Kind::down:
            return "down";
        case AlertRule::Kind::players:
            return "players";
        case AlertRule::Kind::ping:
            return "ping";
        case AlertRule::Kind::loss:
            return "loss";
    }
    return "chat";
}

bool AlertRule::covers(const std::string &server) const {
    return servers.empty() || std::find(servers.begin(), servers.end(), server) != servers.end();
}

bool parse_webhook_url(const std::string &text, WebhookUrl *url, std::string *error) {
    size_t at = 0;
    if (text.compare(0, 8, "https://") == 0) {
        url->https = true;
        url->port = 443;
        at = 8;
    } else if (text.compare(0, 7, "http://") == 0) {
        url->https = false;
        url->port = 80;
        at = 7;
    } else {
        return fail(error, "the url must start with https:// or http://");
    }
    const size_t slash = text.find('/', at);
    std::string authority = text.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
    url->target = slash == std::string::npos ? "/" : text.substr(slash);
    if (authority.find('@') != std::string::npos)
        return fail(error, "the url must not carry a user name or password");
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']', colon) == std::string::npos) {
        const std::string port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(port) < 1 || std::stoi(port) > 65535)
            return fail(error, "the url's port must be a number from 1 to 65535");
        url->port = std::stoi(port);
        authority.resize(colon);
    }
    if (authority.size() > 2 && authority.front() == '[' && authority.back() == ']')
        authority = authority.substr(1, authority.size() - 2);
    const bool plain = !authority.empty() && std::all_of(authority.begin(), authority.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '.' || c == ':';
    });
    if (!plain)
        return fail(error, "the url names no host");
    for (unsigned char c : url->target)
        if (c <= ' ' || c >= 0x7f)
            return fail(error, "the url's path must be printable ASCII without blanks");
    url->host = authority;
    return true;
}

bool parse_alerts_config(const std::string &text, AlertsConfig *config, std::string *error) {
    *config = AlertsConfig();
    if (text.size() > AlertsConfig::kLargestFile)
        return fail(error, "the file is larger than " + std::to_string(AlertsConfig::kLargestFile / 1024) + " KiB");
    boost::system::error_code code;
    json::parse_options limits;
    limits.max_depth = 8;
    const json::value root = json::parse(text, code, {}, limits);
    if (code || !root.is_object())
        return fail(error, "not a JSON object" + (code ? " (" + code.message() + ")" : std::string()));
    const json::object &object = root.as_object();
    if (!number_field(object, "cooldown", kLongestSeconds, &config->cooldown, error))
        return false;
    const json::value *hooks = object.if_contains("webhooks");
    const json::value *rules = object.if_contains("rules");
    if (!hooks || !hooks->is_array() || hooks->as_array().size() > AlertsConfig::kMostWebhooks)
        return fail(error, "\"webhooks\" must be a list of at most " + std::to_string(AlertsConfig::kMostWebhooks));
    if (!rules || !rules->is_array() || rules->as_array().size() > AlertsConfig::kMostRules)
        return fail(error, "\"rules\" must be a list of at most " + std::to_string(AlertsConfig::kMostRules));
    for (const json::value &value : hooks->as_array()) {
        config->webhooks.emplace_back();
        if (!webhook(value, &config->webhooks.back(), error))
            return false;
    }
    for (const json::value &value : rules->as_array()) {
        config->rules.emplace_back();
        if (!rule(value, *config, &config->rules.back(), error))
            return false;
    }
    return true;
}

}  // namespace web
