#include "web/actions/action.h"

#include <boost/json/parse.hpp>

#include <algorithm>
#include <cmath>

#include <boost/asio/ip/address.hpp>

#include "web/actions/arguments.h"
#include "web/utf8_text.h"

namespace web::actions {
namespace json = boost::json;
namespace {

constexpr size_t kLongestReason = 128;
constexpr size_t kLongestSay = 190;  // what the engine's say keeps of a line
constexpr size_t kLongestValue = 128;
constexpr std::int64_t kLongestBanMinutes = std::int64_t{60} * 24 * 366 * 10;

// The secret-bearing console variables whose value never reaches the audit trail.
bool hidden_cvar(const std::string &name) { return name == "sv_password" || name == "rcon_password"; }

bool text_field(const json::object &body, const char *key, std::string *value, bool required = true) {
    const json::value *field = body.if_contains(key);
    if (!field)
        return !required;
    if (!field->is_string())
        return false;
    *value = std::string(field->get_string());
    return true;
}

bool whole_field(const json::object &body, const char *key, std::int64_t low, std::int64_t high, std::int64_t *value) {
    const json::value *field = body.if_contains(key);
    if (!field)
        return false;
    if (field->is_int64())
        *value = field->get_int64();
    else if (field->is_uint64() && field->get_uint64() <= static_cast<std::uint64_t>(high))
        *value = static_cast<std::int64_t>(field->get_uint64());
    else
        return false;
    return *value >= low && *value <= high;
}

const view::Player *player_with(const view::State &state, std::int64_t user_id) {
    for (const view::Player &player : state.players)
        if (player.user_id == user_id)
            return &player;
    return nullptr;
}

// The player's IPv4 address without the port the engine adds; empty when it is none, or one a ban
// must not take (every local client, the gateway's console included, comes from loopback).
std::string bannable_address(const std::string &text, std::string *why) {
    const std::string host = text.substr(0, text.find(':'));
    boost::system::error_code error;
    const boost::asio::ip::address_v4 address = boost::asio::ip::make_address_v4(host, error);
    if (error) {
        *why = "the player's address is not known";
        return "";
    }
    if (address.is_loopback() || address.is_unspecified()) {
        *why = "the player comes from " + host + ": a ban of that address would lock out every local client";
        return "";
    }
    return address.to_string();
}

class Planner {
public:
    Planner(Plan &plan, const ServerFacts &facts) : plan_(plan), facts_(facts) {}

    void run(const json::object &body) {
        if (plan_.action == "kick")
            kick(body);
        else if (plan_.action == "ban")
            ban(body);
        else if (plan_.action == "say")
            say(body);
        else if (plan_.action == "changelevel")
            changelevel(body);
        else if (plan_.action == "restart")
            restart();
        else if (plan_.action == "set")
            set(body);
        else
            fail("unknown action \"" + valid_utf8(plan_.action) + "\" (kick, ban, say, changelevel, restart, set)");
    }

private:
    void fail(std::string why) {
        if (plan_.error.empty())
            plan_.error = std::move(why);
        plan_.lines.clear();
    }

    const view::Player *target(const json::object &body) {
        std::int64_t id = 0;
        if (!whole_field(body, "user_id", 1, 2147483647, &id)) {
            fail("user_id must be a whole number from 1");
            return nullptr;
        }
        plan_.arguments["user_id"] = id;
        const view::Player *player = player_with(*facts_.state, id);
        if (!player) {
            plan_.missing_player = true;
            fail("no player with user id " + std::to_string(id) + " is on the server");
            return nullptr;
        }
        plan_.has_target = true;
        plan_.target = {valid_utf8(player->name), player->user_id, valid_utf8(player->auth_id)};
        return player;
    }

    void kick(const json::object &body) {
        std::string reason;
        if (!text_field(body, "reason", &reason, false))
            return fail("reason must be a text");
        plan_.arguments["reason"] = valid_utf8(reason);
        if (const std::string why = check_console_text("the reason", reason, kLongestReason, false); !why.empty())
            return fail(why);
        const view::Player *player = target(body);
        if (!player)
            return;
        const std::string id = "kick #" + std::to_string(player->user_id);
        plan_.lines.push_back(reason.empty() ? id : id + " \"" + reason + "\"");
    }

    void ban(const json::object &body) {
        std::int64_t minutes = 0;
        if (!whole_field(body, "minutes", 0, kLongestBanMinutes, &minutes))
            return fail("minutes must be a whole number from 0 (permanent) to " + std::to_string(kLongestBanMinutes));
        std::string by;
        if (!text_field(body, "by", &by, false) || (!by.empty() && by != "auth_id" && by != "address"))
            return fail("by must be \"auth_id\" or \"address\"");
        plan_.arguments["minutes"] = minutes;
        const view::Player *player = target(body);
        if (!player)
            return;
        const bool shared = auth_id_is_shared(player->auth_id);
        if (by.empty())
            by = shared ? "address" : "auth_id";  // a shared id would ban everyone who has it
        plan_.arguments["by"] = by;
        const std::string span = std::to_string(minutes);
        if (by == "auth_id") {
            if (shared)
                return fail("the player's auth id \"" + valid_utf8(player->auth_id) +
                            "\" is shared by other players: ban by address");
            if (!valid_auth_id(player->auth_id))
                return fail("the player's auth id cannot be put on a console line");
            plan_.lines.push_back("banid " + span + " " + player->auth_id + " kick");
            if (minutes == 0)
                plan_.lines.push_back("writeid");  // a permanent ban outlives a restart
            return;
        }
        std::string why;
        const std::string address = bannable_address(player->address, &why);
        if (address.empty())
            return fail(why);
        plan_.lines.push_back("addip " + span + " " + address);
        plan_.lines.push_back("kick #" + std::to_string(player->user_id) + " \"banned\"");
        if (minutes == 0)
            plan_.lines.push_back("writeip");
    }

    void say(const json::object &body) {
        std::string text;
        if (!text_field(body, "text", &text))
            return fail("text must be given");
        plan_.arguments["text"] = valid_utf8(text);
        if (text.empty())
            return fail("text must not be empty");
        if (const std::string why = check_console_text("the text", text, kLongestSay, true); !why.empty())
            return fail(why);
        plan_.lines.push_back("say " + text);
    }

    void changelevel(const json::object &body) {
        std::string map;
        if (!text_field(body, "map", &map))
            return fail("map must be given");
        plan_.arguments["map"] = valid_utf8(map);
        if (!valid_map_name(map))
            return fail("a map name is 1 to 64 letters, digits, '_', '-' and '.'");
        plan_.lines.push_back("changelevel " + map);
    }

    void restart() {
        const std::string &game = facts_.state->server.game_dir;
        if (game != "cstrike" && game != "czero")
            return fail("this server's game (" + valid_utf8(game) + ") has no round restart");
        plan_.lines.push_back("sv_restart 1");
    }

    void set(const json::object &body) {
        std::string name, value;
        if (!text_field(body, "name", &name) || !text_field(body, "value", &value))
            return fail("name and value must be given as texts");
        plan_.arguments["name"] = valid_utf8(name);
        plan_.arguments["value"] = hidden_cvar(name) ? "(hidden)" : valid_utf8(value);
        if (hidden_cvar(name))
            plan_.secret = value;
        const std::vector<std::string> &allowed = *facts_.allowed_cvars;
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
            return fail("the console variable \"" + valid_utf8(name) + "\" is not one the gateway may set");
        if (const std::string why = check_console_text("the value", value, kLongestValue, false); !why.empty())
            return fail(why);
        plan_.lines.push_back(name + " \"" + value + "\"");
    }

    Plan &plan_;
    const ServerFacts &facts_;
};

}  // namespace

const std::vector<std::string> &default_allowed_cvars() {
    static const std::vector<std::string> names{"mp_timelimit", "mp_friendlyfire", "sv_password", "mp_roundtime"};
    return names;
}

Plan plan_action(const std::string &body, const ServerFacts &facts) {
    Plan plan;
    boost::system::error_code error;
    const json::value parsed = json::parse(body, error);
    if (error || !parsed.is_object()) {
        plan.error = "the body must be a JSON object";
        return plan;
    }
    const json::object &object = parsed.get_object();
    const json::value *action = object.if_contains("action");
    if (!action || !action->is_string()) {
        plan.error = "\"action\" must be given";
        return plan;
    }
    plan.action = std::string(action->get_string()).substr(0, 32);
    Planner(plan, facts).run(object);
    return plan;
}

}  // namespace web::actions
