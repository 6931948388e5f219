#include "web/log/event_json.h"

#include <boost/json/array.hpp>
#include <boost/json/serialize.hpp>

namespace web::log {
namespace {

namespace json = boost::json;

json::object player_object(const LogPlayer &player) {
    return json::object{
        {"name", player.name}, {"user_id", player.user_id}, {"auth_id", player.auth_id}, {"team", player.team}};
}

json::array scores_array(const std::vector<std::pair<std::string, int>> &scores) {
    json::array array;
    for (const auto &score : scores)
        array.push_back(json::object{{"team", score.first}, {"score", score.second}});
    return array;
}

}  // namespace

const char *kind_name(Kind kind) {
    static const char *const names[] = {
        "kill",        "suicide",   "connect",         "enter",   "team",     "name",      "disconnect", "chat",
        "round_start", "round_end", "game_commencing", "restart", "team_win", "objective", "map",        "other"};
    const size_t index = static_cast<size_t>(kind);
    return index < sizeof(names) / sizeof(names[0]) ? names[index] : "other";
}

json::object event_object(const LogEvent &event) {
    json::object object{{"seq", event.seq}, {"time", event.time}, {"kind", kind_name(event.kind)}};
    if (event.has_killer)
        object["killer"] = player_object(event.killer);
    if (event.has_victim)
        object["victim"] = player_object(event.victim);
    if (event.has_player)
        object["player"] = player_object(event.player);
    if (event.kind == Kind::kill || event.kind == Kind::suicide)
        object["weapon"] = event.weapon;
    if (event.kind == Kind::kill) {
        object["team_kill"] = event.team_kill;
        if (event.headshot >= 0)
            object["headshot"] = event.headshot == 1;
    }
    if (!event.text.empty() || event.kind == Kind::chat || event.kind == Kind::other)
        object[event.kind == Kind::name ? "new_name" : "text"] = event.text;
    if (!event.team.empty())
        object["team"] = event.team;
    if (!event.scores.empty())
        object["scores"] = scores_array(event.scores);
    if (!event.event.empty())
        object["event"] = event.event;
    if (event.kind == Kind::map)
        object["map"] = event.map;
    return object;
}

std::string events_text(const EventLog &log, uint64_t since) {
    json::array events;
    for (const LogEvent *event : log.since(since))
        events.push_back(event_object(*event));
    return json::serialize(json::object{{"events", std::move(events)}});
}

json::object log_object(const EventLog &log) {
    json::array results;
    for (const RoundResult &result : log.results())
        results.push_back(
            json::object{{"team", result.team}, {"event", result.event}, {"scores", scores_array(result.scores)}});
    json::object tallies;
    for (const auto &entry : log.tallies()) {
        const PlayerTally &tally = entry.second;
        tallies[std::to_string(entry.first)] =
            json::object{{"name", tally.name},     {"team", tally.team},           {"kills", tally.kills},
                         {"deaths", tally.deaths}, {"headshots", tally.headshots}, {"team_kills", tally.team_kills}};
    }
    json::array recent;
    const auto &events = log.events();
    for (size_t i = events.size() > kEventsInState ? events.size() - kEventsInState : 0; i < events.size(); ++i)
        recent.push_back(event_object(events[i]));
    return json::object{
        {"received", log.received()},
        {"round", json::object{{"number", log.round()},
                               {"in_round", log.in_round()},
                               {"started", log.round_started()},
                               {"seconds", log.round_seconds()}}},
        {"results", std::move(results)},
        {"players", std::move(tallies)},
        {"events", std::move(recent)},
    };
}

}  // namespace web::log
