#include "web/actions/routes.h"

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include "web/access.h"

namespace web::actions {
namespace json = boost::json;
namespace {

const char kServersPrefix[] = "/api/servers/";
constexpr size_t kLongestPage = 100;

// "/api/servers/NAME/actions" -> NAME, for the given last part.
bool server_route(std::string_view path, std::string_view last, std::string *server) {
    const std::string_view prefix = kServersPrefix;
    const std::string suffix = "/" + std::string(last);
    if (path.size() <= prefix.size() + suffix.size() || path.substr(0, prefix.size()) != prefix ||
        path.substr(path.size() - suffix.size()) != suffix)
        return false;
    *server = std::string(path.substr(prefix.size(), path.size() - prefix.size() - suffix.size()));
    return server->find('/') == std::string::npos;
}

Reply refusal(int status, const std::string &why) { return {status, error_body(why)}; }

// Who may not: 401 without a user, 403 for the public and for a role short of admin.
bool admin_or_refuse(const Asked &asked, const Gate &gate, const ReplyTo &reply) {
    if (asked.is_public)
        return reply(refusal(403, "the public view takes no actions")), false;
    if (!asked.identity.user)
        return reply(refusal(401, gate.has_users ? "this needs a token of an admin"
                                                 : "actions need a user of role admin (--users FILE or --token)")),
               false;
    if (asked.identity.role() != access::Role::admin)
        return reply(refusal(403, "this is for users of role admin")), false;
    return true;
}

size_t number_in_query(std::string_view target, const char *name, size_t otherwise, size_t most) {
    std::string text;
    if (!query_value(target, name, &text) || text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return otherwise;
    return std::min(static_cast<size_t>(std::stoul(text)), most);
}

void session(const Gate &gate, const Asked &asked, const ReplyTo &reply) {
    json::object answer{{"public", asked.is_public}, {"public_delay", gate.public_delay_seconds}};
    if (const access::User *user = asked.identity.user) {
        answer["user"] = user->name;
        answer["role"] = access::role_name(user->role);
        answer["csrf"] = gate.csrf.value_for(*user);
        if (user->role == access::Role::admin) {
            json::array cvars;
            for (const std::string &name : gate.desk.allowed_cvars())
                cvars.push_back(json::string(name));
            answer["cvars"] = std::move(cvars);
        }
    } else {
        answer["user"] = nullptr;
        answer["role"] = asked.is_public ? "public" : (gate.has_users ? "none" : "viewer");
    }
    reply({200, json::serialize(answer)});
}

void audit_page(const Gate &gate, const Asked &asked, const ReplyTo &reply) {
    if (!admin_or_refuse(asked, gate, reply))
        return;
    const size_t offset = number_in_query(asked.target, "offset", 0, audit::AuditLog::kKeptLines);
    const size_t limit = number_in_query(asked.target, "limit", kLongestPage, kLongestPage);
    size_t total = 0;
    json::array lines;
    for (const std::string &line : gate.audit.page(offset, limit, &total)) {
        boost::system::error_code error;
        json::value parsed = json::parse(line, error);
        if (!error)  // a line torn by a crash is no entry
            lines.push_back(std::move(parsed));
    }
    reply({200, json::serialize(json::object{
                    {"total", total}, {"offset", offset}, {"file", gate.audit.path()}, {"lines", std::move(lines)}})});
}

void act(Gate &gate, const Asked &asked, const std::string &server, const view::State &state, ReplyTo reply) {
    if (asked.is_public)
        return reply(refusal(403, "the public view takes no actions"));
    const access::User *user = asked.identity.user;
    if (!user)
        return reply(refusal(401, gate.has_users ? "actions need the token of an admin"
                                                 : "actions need a user of role admin (--users FILE or --token)"));
    if (asked.identity.via == TokenVia::query)
        return gate.desk.refuse(user->name, server, 403, "a token in the URL does not authorize actions", reply);
    if (asked.identity.via == TokenVia::cookie) {
        if (!access::origin_is_host(asked.origin, asked.host))
            return gate.desk.refuse(user->name, server, 403, "an action from another origin (or none)", reply);
        if (!gate.csrf.matches(*user, asked.csrf_header))
            return gate.desk.refuse(user->name, server, 403, "X-CSRF-Token is missing or not this session's", reply);
    }
    gate.desk.act(user->name, user->role, server, state, asked.body, std::move(reply));
}

}  // namespace

bool takes_body(std::string_view path) {
    std::string server;
    return server_route(path, "actions", &server);
}

bool route(Gate &gate, const Asked &asked, ReplyTo reply) {
    std::string server;
    if (asked.path == "/api/session" && !asked.post) {
        session(gate, asked, reply);
        return true;
    }
    if (asked.path == "/api/audit" && !asked.post) {
        audit_page(gate, asked, reply);
        return true;
    }
    const bool actions = server_route(asked.path, "actions", &server);
    const bool maps = !actions && server_route(asked.path, "maps", &server);
    const bool rcon = !actions && !maps && server_route(asked.path, "rcon", &server);
    if (!actions && !maps && !rcon)
        return false;
    const view::State *state = gate.find_state(server);
    if (actions != asked.post)
        reply(refusal(405, actions ? "actions are POSTed" : "this is read with GET"));
    else if (!state)
        reply(refusal(404, "no such server"));
    else if (actions)
        act(gate, asked, server, *state, std::move(reply));
    else if (!admin_or_refuse(asked, gate, reply))
        return true;
    else if (rcon)
        reply({200, json::serialize(json::object{{"ok", true}, {"state", gate.desk.console_state(server)}})});
    else
        gate.desk.maps(server, std::move(reply));
    return true;
}

}  // namespace web::actions
