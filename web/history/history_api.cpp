#include "web/history/history_api.h"

#include <boost/json/serialize.hpp>
#include <boost/json/value.hpp>

#include "web/access.h"
#include "web/history/recording_link.h"
#include "web/utf8_text.h"

namespace web::history {
namespace {

namespace json = boost::json;

Answer refused(int status, const std::string &why) { return {status, json::serialize(json::object{{"error", why}})}; }

// An optional whole number within [lowest, highest]; false when given and not one.
bool number_in(std::string_view target, const char *name, int lowest, int highest, int *value) {
    std::string text;
    if (!query_value(target, name, &text))
        return true;
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int number = std::stoi(text);
    if (number < lowest || number > highest)
        return false;
    *value = number;
    return true;
}

bool text_in(std::string_view target, const char *name, std::string *value) {
    std::string text;
    if (!query_value(target, name, &text))
        return true;
    if (text.size() > kLongestText)
        return false;
    *value = text;
    return true;
}

// A key or id: digits only, within a row id's range; anything else names nothing (0).
int64_t row_id(std::string_view text) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return 0;
    return std::stoll(std::string(text));
}

bool sort_of(std::string_view target, PlayerQuery::Sort *sort) {
    std::string text;
    if (!query_value(target, "sort", &text) || text == "kills")
        return true;
    if (text == "kd")
        *sort = PlayerQuery::Sort::kd;
    else if (text == "time")
        *sort = PlayerQuery::Sort::time;
    else
        return false;
    return true;
}

json::object figures_json(const PlayerFigures &figures) {
    return {{"kills", figures.kills},
            {"deaths", figures.deaths},
            {"headshots", figures.headshots},
            {"team_kills", figures.team_kills},
            {"time_played", figures.time_played_ms / 1000}};
}

json::array names_json(const std::vector<std::string> &names) {
    json::array list;
    for (const std::string &name : names)
        list.emplace_back(valid_utf8(name));
    return list;
}

json::object player_json(const PlayerRow &row, bool full) {
    json::object player = figures_json(row.figures);
    player["key"] = std::to_string(row.key);
    player["name"] = valid_utf8(row.name);
    player["names"] = names_json(row.names);
    player["bot"] = row.kind == "bot";
    if (full) {
        player["auth_id"] = valid_utf8(row.auth_id);
        player["kind"] = row.kind;
    }
    return player;
}

json::object match_json(const MatchRow &row) {
    json::object scores;
    for (const auto &[team, score] : row.scores)
        scores[valid_utf8(team)] = score;
    return {
        {"id", row.id},         {"server", row.server},       {"map", valid_utf8(row.map)}, {"start_ms", row.start_ms},
        {"end_ms", row.end_ms}, {"scores", std::move(scores)}};
}

json::value position_json(const Position &at) {
    if (!at.known)
        return nullptr;
    return json::array{at.x, at.y, at.z};
}

std::string players_answer(const std::vector<PlayerRow> &rows, bool full) {
    json::array players;
    for (const PlayerRow &row : rows)
        players.push_back(player_json(row, full));
    return json::serialize(json::object{{"players", std::move(players)}});
}

std::string player_answer(const PlayerDetail &detail, bool full) {
    json::object player = player_json(detail.player, full);
    json::array names, sessions, weapons, matches;
    for (const PlayerName &name : detail.names)
        names.push_back(
            json::object{{"name", valid_utf8(name.name)}, {"first_ms", name.first_ms}, {"last_ms", name.last_ms}});
    for (const SessionRow &session : detail.sessions) {
        json::object line = figures_json(session.figures);
        line["match"] = session.match_id;
        line["server"] = session.server;
        line["map"] = valid_utf8(session.map);
        line["team"] = valid_utf8(session.team);
        line["join_ms"] = session.join_ms;
        line["leave_ms"] = session.leave_ms;
        sessions.push_back(std::move(line));
    }
    for (const auto &[weapon, kills] : detail.weapons)
        weapons.push_back(json::object{{"weapon", valid_utf8(weapon)}, {"kills", kills}});
    for (const MatchRow &match : detail.matches)
        matches.push_back(match_json(match));
    player["names_used"] = std::move(names);
    player["sessions"] = std::move(sessions);
    player["weapons"] = std::move(weapons);
    player["matches"] = std::move(matches);
    return json::serialize(json::object{{"player", std::move(player)}});
}

std::string match_answer(const MatchDetail &detail, bool full, int64_t shown_until_ms) {
    json::object match = match_json(detail.match);
    // The public view replays nothing: it is not told of the recording.
    const bool recorded = full && !detail.recording.empty() && detail.recording_start_ms > 0;
    json::array kills, lines;
    for (const KillRow &kill : detail.kills) {
        if (shown_until_ms > 0 && kill.at_ms > shown_until_ms)
            break;
        json::object line{{"at_ms", kill.at_ms},
                          {"killer", valid_utf8(kill.killer)},
                          {"killer_key", std::to_string(kill.killer_key)},
                          {"victim", valid_utf8(kill.victim)},
                          {"victim_key", std::to_string(kill.victim_key)},
                          {"weapon", valid_utf8(kill.weapon)},
                          {"headshot", kill.headshot},
                          {"team_kill", kill.team_kill},
                          {"killer_at", position_json(kill.killer_at)},
                          {"victim_at", position_json(kill.victim_at)}};
        if (recorded && kill.at_ms >= detail.recording_start_ms)
            line["offset_ms"] = kill.at_ms - detail.recording_start_ms;
        if (full) {
            line["killer_auth_id"] = valid_utf8(kill.killer_auth);
            line["victim_auth_id"] = valid_utf8(kill.victim_auth);
        }
        kills.push_back(std::move(line));
    }
    for (const MatchLine &player : detail.lines) {
        json::object line = figures_json(player.figures);
        line["key"] = std::to_string(player.key);
        line["name"] = valid_utf8(player.name);
        line["team"] = valid_utf8(player.team);
        if (full)
            line["auth_id"] = valid_utf8(player.auth_id);
        lines.push_back(std::move(line));
    }
    match["kills"] = std::move(kills);
    match["players"] = std::move(lines);
    match["recording"] = recorded ? json::value(json::object{{"file", detail.recording}}) : json::value(nullptr);
    return json::serialize(json::object{{"match", std::move(match)}});
}

}  // namespace

bool is_history_path(std::string_view path) { return path.substr(0, kApiPrefix.size()) == kApiPrefix; }

bool read_request(std::string_view target, bool full, Asked *asked, Answer *refusal) {
    const std::string_view rest = target_path(target).substr(kApiPrefix.size());
    const size_t slash = rest.find('/');
    const std::string_view what = rest.substr(0, slash);
    const bool one = slash != std::string_view::npos;
    const std::string_view key = one ? rest.substr(slash + 1) : std::string_view();
    int *limit = &asked->players.limit, *offset = &asked->players.offset;
    if (what == "players" && !one) {
        asked->route = Asked::Route::players;
        asked->players.by_auth = full;
        if (!text_in(target, "q", &asked->players.text) || !text_in(target, "server", &asked->players.server) ||
            !number_in(target, "days", 1, kLongestPeriodDays, &asked->players.days) ||
            !sort_of(target, &asked->players.sort)) {
            *refusal = refused(400, "q and server: at most 64 bytes; days: 1 to 3650; sort: kills, kd or time");
            return false;
        }
    } else if (what == "matches" && !one) {
        asked->route = Asked::Route::matches;
        limit = &asked->matches.limit;
        offset = &asked->matches.offset;
        if (!text_in(target, "server", &asked->matches.server)) {
            *refusal = refused(400, "server: at most 64 bytes");
            return false;
        }
    } else if ((what == "players" || what == "matches") && one) {
        asked->route = what == "players" ? Asked::Route::player : Asked::Route::match;
        asked->id = row_id(key);
        if (asked->id == 0) {
            *refusal = refused(404, what == "players" ? "no such player" : "no such match");
            return false;
        }
        return true;
    } else {
        *refusal = refused(404, "not found");
        return false;
    }
    if (!number_in(target, "limit", 1, kMostRows, limit) || !number_in(target, "offset", 0, kFurthestOffset, offset)) {
        *refusal = refused(400, "limit: 1 to 100; offset: 0 to 1000000");
        return false;
    }
    return true;
}

Answer answer(const Asked &asked, HistoryStore &store, bool full, int64_t now_ms) {
    switch (asked.route) {
        case Asked::Route::players:
            return {200, players_answer(store.players(asked.players, now_ms), full)};
        case Asked::Route::player: {
            PlayerDetail detail;
            if (!store.player(asked.id, &detail))
                return refused(404, "no such player");
            return {200, player_answer(detail, full)};
        }
        case Asked::Route::matches:
            return {200, [&] {
                        json::array matches;
                        for (const MatchRow &row : store.matches(asked.matches))
                            matches.push_back(match_json(row));
                        return json::serialize(json::object{{"matches", std::move(matches)}});
                    }()};
        case Asked::Route::match: {
            MatchDetail detail;
            if (!store.match(asked.id, &detail))
                return refused(404, "no such match");
            if (full && detail.recording.empty() && !asked.record_dir.empty())
                find_recording(asked.record_dir, detail.match.server, detail.match.map, detail.match.start_ms,
                               detail.match.end_ms, &detail.recording, &detail.recording_start_ms);
            return {200, match_answer(detail, full, asked.shown_until_ms)};
        }
    }
    return refused(404, "not found");
}

}  // namespace web::history
