#include "web/state_json.h"

#include <boost/json/serialize.hpp>

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "stream/numbers.h"
#include "web/log/event_json.h"
#include "web/utf8_text.h"

namespace web {
namespace {

namespace json = boost::json;

std::int64_t whole(double number) {
    return std::isfinite(number) ? std::llround(std::fmax(-1e15, std::fmin(1e15, number))) : 0;
}

std::int64_t percent(double fraction) { return whole(fraction * 100); }

json::object server_object(const ServerState &server) {
    const view::ServerInfo &info = server.view().server;
    json::array teams;
    for (const view::Team &team : info.teams)
        teams.push_back({{"name", valid_utf8(team.name)}, {"score", whole(view::number_or(team.score, 0))}});
    json::value time_left = nullptr;  // no time limit
    if (info.time_left >= 0)
        time_left = whole(info.time_left);
    return {{"game", valid_utf8(info.game_dir)},
            {"map", valid_utf8(info.map)},
            {"host_name", valid_utf8(info.host_name)},
            {"max_players", whole(view::number_or(info.max_players, 0))},
            {"uptime", whole(info.uptime)},
            {"time_left", time_left},
            {"world", {{"x", whole(info.world_x)}, {"y", whole(info.world_y)}}},
            {"teams", std::move(teams)}};
}

json::array players_array(const ServerState &server) {
    json::array players;
    const std::vector<view::Player> &list = server.view().players;
    for (size_t at = 0; at < list.size(); ++at) {
        const view::Player &player = list[at];
        players.push_back({{"user_id", player.user_id},
                           {"name", valid_utf8(player.name)},
                           {"team", player.team},
                           {"frags", whole(player.frags)},
                           {"deaths", player.deaths},
                           {"health", percent(player.health)},
                           {"armor", percent(player.armor)},
                           {"ping", player.ping},
                           {"loss", player.loss},
                           {"time", whole(player.connected)},
                           {"x", whole(player.x)},
                           {"y", whole(player.y)},
                           {"z", whole(player.z)},
                           {"dead", player.dead}});
    }
    return players;
}

// "SG_X_COORD" -> "x", "HOSTAGE_NUM" -> "num", "PLANTED" -> "planted": the kind's prefix (that of
// its first key, "SG_NUM") dropped, coordinates shortened, in lower case.
std::string field_name(const std::string &key, const std::string &prefix) {
    std::string name = key.compare(0, prefix.size(), prefix) == 0 ? key.substr(prefix.size()) : key;
    if (name.size() == 7 && name.compare(1, 6, "_COORD") == 0)
        name.resize(1);
    for (char &c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return valid_utf8(name);
}

// Health in percent: a ratio in every objective record but the hostages', whose HEALTH is the
// entity's health itself (out of 100).
json::value field_value(const std::string &kind, const std::string &name, const std::string &text) {
    char *end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(number))
        return json::string(valid_utf8(text));
    return name == "health" && kind != "HOSTAGE" ? percent(number) : whole(number);
}

json::object objective_object(const std::string &kind, const records::Record &record) {
    const std::string &first = record.lines.empty() ? kind : record.lines.front().first;
    const size_t number = first.rfind("NUM");
    const std::string prefix = number == std::string::npos ? "" : first.substr(0, number);
    std::vector<std::string> names;  // each key's once, not each cell's
    for (const auto &line : record.lines)
        names.push_back(field_name(line.first, prefix));
    json::array items;
    for (size_t entity = 0; entity < record.entities(); ++entity) {
        json::object item;
        for (size_t key = 0; key < record.lines.size(); ++key) {
            const std::vector<std::string> &fields = record.lines[key].second;
            item[names[key]] = field_value(kind, names[key], entity < fields.size() ? fields[entity] : "");
        }
        items.push_back(std::move(item));
    }
    return {{"kind", kind}, {"items", std::move(items)}};  // one of the known kinds: plain ASCII
}

json::array objectives_array(const ServerState &server) {
    json::array objectives;
    for (const std::string &kind : view::objective_kinds()) {
        const auto found = server.view().objectives.find(kind);
        if (found != server.view().objectives.end())
            objectives.push_back(objective_object(kind, found->second));
    }
    return objectives;
}

json::array chat_array(const ServerState &server) {
    json::array chat;
    for (const view::ChatLine &line : server.view().chat)
        chat.push_back({{"kind", line.kind}, {"text", valid_utf8(line.text)}, {"time_ms", line.at_ms}});
    return chat;
}

// Whether the server sends records over the limits of a genuine plug-in, and how many were dropped.
void add_limits(json::object &object, const LinkCounters &counters) {
    object["over_limits"] = counters.over_limits > 0;
    object["records_over_limits"] = counters.over_limits;
}

// Only for a server served from a recording: where the replay stands (times in milliseconds).
void add_replay(json::object &object, const ReplayPosition *replay) {
    if (replay)
        object["replay"] = {{"position_ms", replay->position_ms},
                            {"length_ms", replay->length_ms},
                            {"playing", replay->playing},
                            {"speed", replay->speed},
                            {"start_ms", replay->start_ms}};
}

json::array summaries(const std::vector<const Source *> &servers) {
    json::array list;
    for (const Source *server : servers)
        list.push_back(server_summary(server->fold(), server->replay()));
    return list;
}

json::array summaries(const std::vector<const ServerFold *> &servers) {
    json::array list;
    for (const ServerFold *server : servers)
        list.push_back(server_summary(*server));
    return list;
}

}  // namespace

json::object server_summary(const ServerFold &fold, const ReplayPosition *replay) {
    const ServerState &server = fold.state;
    const view::State &view = server.view();
    json::value time_left = nullptr;
    if (view.have_server && view.server.time_left >= 0)
        time_left = whole(view.server.time_left);
    json::object summary{{"name", server.address().name},
                         {"address", server.address().address()},
                         {"connected", server.connected},
                         {"stale", server.stale},
                         {"problem", server.problem},
                         {"host_name", valid_utf8(view.server.host_name)},
                         {"game", valid_utf8(view.server.game_dir)},
                         {"map", valid_utf8(view.server.map)},
                         {"players", view.players.size()},
                         {"max_players", whole(view::number_or(view.server.max_players, 0))},
                         {"time_left", time_left}};
    add_limits(summary, fold.counters);
    add_replay(summary, replay);
    return summary;
}

json::object server_detail(const ServerFold &fold, const ReplayPosition *replay) {
    const ServerState &server = fold.state;
    json::value info = nullptr;  // no SERVER record yet
    if (server.view().have_server)
        info = server_object(server);
    json::object detail{{"name", server.address().name},
                        {"address", server.address().address()},
                        {"connected", server.connected},
                        {"stale", server.stale},
                        {"problem", server.problem},
                        {"records", fold.counters.records},
                        {"malformed", fold.counters.malformed},
                        {"reconnects", fold.counters.reconnects},
                        {"server", std::move(info)},
                        {"players", players_array(server)},
                        {"objectives", objectives_array(server)},
                        {"chat", chat_array(server)},
                        {"log", log::log_object(fold.events)}};
    add_limits(detail, fold.counters);
    add_replay(detail, replay);
    return detail;
}

std::string servers_text(const std::vector<const Source *> &servers) {
    return json::serialize(json::object{{"servers", summaries(servers)}});
}

std::string servers_text(const std::vector<const ServerFold *> &servers) {
    return json::serialize(json::object{{"servers", summaries(servers)}});
}

// Where the picture is served, its size, the world offsets and the world-to-pixel mapping.
json::value map_object(const std::string &name, const maps::MapPicture *picture) {
    if (!picture || !picture->found)
        return nullptr;
    const maps::Transform &t = picture->transform;
    return json::object{{"image", "/api/servers/" + name + "/map.png"},
                        {"source", picture->source},
                        {"width", picture->width},
                        {"height", picture->height},
                        {"offset", {{"x", picture->x_offset}, {"y", picture->y_offset}}},
                        {"transform", {t.a, t.b, t.c, t.d, t.e, t.f}}};
}

json::object source_detail(const Source &server, const maps::MapPicture *picture) {
    json::object detail = server_detail(server.fold(), server.replay());
    detail["map"] = map_object(server.state().address().name, picture);
    return detail;
}

std::string detail_text(const Source &server, const maps::MapPicture *picture) {
    json::object detail = source_detail(server, picture);
    return json::serialize(detail);
}

std::string detail_text(const ServerFold &server, const ReplayPosition *replay) {
    return json::serialize(server_detail(server, replay));
}

std::string servers_message(const std::vector<const Source *> &servers) {
    return json::serialize(json::object{{"type", "servers"}, {"servers", summaries(servers)}});
}

std::string state_message(const Source &server, const maps::MapPicture *picture) {
    json::object detail = source_detail(server, picture);
    return json::serialize(json::object{{"type", "state"}, {"state", std::move(detail)}});
}

std::string state_message(const ServerFold &server, const ReplayPosition *replay) {
    return json::serialize(json::object{{"type", "state"}, {"state", server_detail(server, replay)}});
}

}  // namespace web
