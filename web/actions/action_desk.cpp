#include "web/actions/action_desk.h"

#include <boost/json/serialize.hpp>

#include "web/actions/action.h"
#include "web/actions/maps_list.h"
#include "web/utf8_text.h"

namespace web::actions {
namespace json = boost::json;

struct ActionDesk::Attempt {
    std::string user, server;
    Plan plan;
    std::string output;
    ReplyTo reply;
};

namespace {

const char *outcome_error(ConsoleAnswer::Outcome outcome, int *status) {
    *status = 409;
    switch (outcome) {
        case ConsoleAnswer::Outcome::ok:
            *status = 200;
            return "";
        case ConsoleAnswer::Outcome::timeout:
            *status = 504;
            return "the server's console did not answer in time";
        case ConsoleAnswer::Outcome::queue_full:
            *status = 503;
            return "the server's console has too many commands waiting";
        case ConsoleAnswer::Outcome::password_refused:
            return "rcon password refused";
        case ConsoleAnswer::Outcome::banned:
            return "the server has banned the gateway's address";
        case ConsoleAnswer::Outcome::stopped:
            break;
    }
    return "the server's rcon is stopped";
}

// Cut on a character's boundary, as valid UTF-8.
std::string cut(const std::string &text, size_t longest) {
    size_t end = std::min(text.size(), longest);
    while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return valid_utf8(text.substr(0, end));
}

// The console may echo a value set (a variable's "is" line): never into the trail.
std::string without(std::string text, const std::string &secret) {
    for (size_t at; !secret.empty() && (at = text.find(secret)) != std::string::npos;)
        text.replace(at, secret.size(), "(hidden)");
    return text;
}

}  // namespace

std::string error_body(const std::string &error) {
    return json::serialize(json::object{{"ok", false}, {"error", valid_utf8(error)}});
}

bool ActionDesk::console_ready(const std::string &server, std::string *why) const {
    if (!console_) {
        *why = "rcon is not set up for this server";
        return false;
    }
    return console_->ready(server, why);
}

std::string ActionDesk::console_state(const std::string &server) const {
    std::string why;
    return console_ready(server, &why) ? "ready" : why;
}

void ActionDesk::act(const std::string &user, access::Role role, const std::string &server, const view::State &state,
                     const std::string &body, ReplyTo reply) {
    if (!audit_.reserve())
        return reply({503, error_body("the audit trail is behind: try again")});
    auto attempt = std::make_shared<Attempt>();
    attempt->user = user;
    attempt->server = server;
    attempt->reply = std::move(reply);
    attempt->plan = plan_action(body, ServerFacts{&state, &allowed_cvars_});
    const Plan &plan = attempt->plan;
    if (role != access::Role::admin)
        return finish(attempt, 403, "actions are for users of role admin");
    if (!rate_.take(user))
        return finish(attempt, 429, "more than " + std::to_string(RateLimit::kPerMinute) + " actions a minute");
    if (!plan.error.empty())
        return finish(attempt, plan.missing_player ? 404 : 400, plan.error);
    if (std::string why; !console_ready(server, &why))
        return finish(attempt, 409, why);
    send_lines(attempt, 0);
}

void ActionDesk::refuse(const std::string &user, const std::string &server, int status, const std::string &why,
                        ReplyTo reply) {
    if (!audit_.reserve())
        return reply({status, error_body(why)});
    auto attempt = std::make_shared<Attempt>();
    attempt->user = user;
    attempt->server = server;
    attempt->reply = std::move(reply);
    finish(attempt, status, why);
}

void ActionDesk::send_lines(std::shared_ptr<Attempt> attempt, size_t next) {
    if (next == attempt->plan.lines.size())
        return finish(attempt, 200, "");
    console_->send(attempt->server, attempt->plan.lines[next], [this, attempt, next](ConsoleAnswer answer) {
        int status = 200;
        const char *error = outcome_error(answer.outcome, &status);
        attempt->output += answer.output;
        if (status != 200)
            return finish(attempt, status, error);
        send_lines(attempt, next + 1);
    });
}

void ActionDesk::finish(std::shared_ptr<Attempt> attempt, int status, const std::string &error) {
    const Plan &plan = attempt->plan;
    json::object result{{"ok", status == 200}};
    if (status == 200)
        result["output"] = cut(without(attempt->output, plan.secret), kAuditedOutput);
    else
        result["status"] = status, result["error"] = valid_utf8(error);
    json::value target = nullptr;
    if (plan.has_target)
        target = json::object{
            {"name", plan.target.name}, {"user_id", plan.target.user_id}, {"auth_id", plan.target.auth_id}};
    json::object line{{"time", audit::utc_now_text()},     {"user", attempt->user},       {"server", attempt->server},
                      {"action", valid_utf8(plan.action)}, {"target", std::move(target)}, {"arguments", plan.arguments},
                      {"result", std::move(result)}};
    const std::string body =
        status == 200
            ? json::serialize(json::object{{"ok", true}, {"output", valid_utf8(without(attempt->output, plan.secret))}})
            : error_body(error);
    audit_.append(json::serialize(line), [attempt, status, body](bool written) {
        if (!written)
            return attempt->reply({500, error_body(status == 200 ? "done, but its audit line could not be written"
                                                                 : "its audit line could not be written")});
        attempt->reply({status, body});
    });
}

void ActionDesk::maps(const std::string &server, ReplyTo reply) {
    if (std::string why; !console_ready(server, &why))
        return reply({409, error_body(why)});
    console_->send(server, "maps *", [reply = std::move(reply)](ConsoleAnswer answer) {
        int status = 200;
        const char *error = outcome_error(answer.outcome, &status);
        if (status != 200)
            return reply({status, error_body(error)});
        json::array names;
        for (const std::string &map : maps_in_answer(answer.output))
            names.push_back(json::string(map));
        reply({200, json::serialize(json::object{{"ok", true}, {"maps", std::move(names)}})});
    });
}

}  // namespace web::actions
