#include "web/log/log_line.h"

#include <charconv>

namespace web::log {
namespace {

using std::string_view;

bool starts_with(string_view text, string_view start) { return text.substr(0, start.size()) == start; }
bool ends_with(string_view text, string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}
bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool parse_int(string_view text, int *value) {
    if (text.empty())
        return false;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, *value);
    return result.ec == std::errc() && result.ptr == end;
}

// The last "<...>" group of `token`, removed from it.
bool take_group(string_view *token, string_view *group) {
    if (!ends_with(*token, ">"))
        return false;
    const size_t open = token->rfind('<');
    if (open == string_view::npos)
        return false;
    *group = token->substr(open + 1, token->size() - open - 2);
    token->remove_suffix(token->size() - open);
    return true;
}

// Text in quotes at the start of `text`, up to the next quote.
bool quoted(string_view text, string_view *inside, string_view *after) {
    if (!starts_with(text, "\""))
        return false;
    const size_t close = text.find('"', 1);
    if (close == string_view::npos)
        return false;
    *inside = text.substr(1, close - 1);
    *after = text.substr(close + 1);
    return true;
}

// Free text in quotes that may itself hold quotes: up to the last quote of the line.
bool quoted_to_last(string_view text, string_view *inside, string_view *after) {
    if (!starts_with(text, "\"") || text.size() < 2)
        return false;
    const size_t close = text.rfind('"');
    if (close == 0)
        return false;
    *inside = text.substr(1, close - 1);
    *after = text.substr(close + 1);
    return true;
}

// A quoted player token at the start of `text`, followed by a space: the token's closing quote is the
// first `>" ` whose token reads as a player, so names holding `<`, `>` or quotes still read.
bool leading_player(string_view text, LogPlayer *player, string_view *rest) {
    if (!starts_with(text, "\""))
        return false;
    for (size_t at = text.find(">\" ", 1); at != string_view::npos; at = text.find(">\" ", at + 1)) {
        if (parse_player(text.substr(1, at), player)) {
            *rest = text.substr(at + 3);
            return true;
        }
    }
    return false;
}

// A quoted player token that ends the text or is followed by `follow`.
bool player_then(string_view text, string_view follow, LogPlayer *player, string_view *rest) {
    if (!starts_with(text, "\""))
        return false;
    const std::string mark = std::string(">\"") + std::string(follow);
    for (size_t at = text.find(mark, 1); at != string_view::npos; at = text.find(mark, at + 1)) {
        if (parse_player(text.substr(1, at), player)) {
            *rest = text.substr(at + mark.size());
            return true;
        }
    }
    return false;
}

// ` (CT "3") (T "5")`: the teams' scores, in the order written.
bool read_scores(string_view text, std::vector<std::pair<std::string, int>> *scores) {
    while (starts_with(text, " (")) {
        const size_t space = text.find(' ', 2);
        if (space == string_view::npos)
            return false;
        string_view value, after;
        if (!quoted(text.substr(space + 1), &value, &after) || !starts_with(after, ")"))
            return false;
        int score = 0;
        if (!parse_int(value, &score))
            return false;
        std::string team(text.substr(2, space - 2));
        scores->emplace_back(team == "T" ? "TERRORIST" : team, score);
        text = after.substr(1);
    }
    return text.empty() && !scores->empty();
}

LogEvent other(string_view body) {
    LogEvent event;
    event.kind = Kind::other;
    event.text = std::string(body);
    return event;
}

bool read_kill(const LogPlayer &killer, string_view rest, LogEvent *event) {
    LogPlayer victim;
    string_view after;
    if (!player_then(rest, " with \"", &victim, &after))
        return false;
    const size_t close = after.find('"');
    if (close == string_view::npos)
        return false;
    const string_view tail = after.substr(close + 1);
    if (!tail.empty() && tail != " (headshot)")
        return false;
    event->kind = Kind::kill;
    event->has_killer = event->has_victim = true;
    event->killer = killer;
    event->victim = victim;
    event->weapon = std::string(after.substr(0, close));
    if (tail == " (headshot)")
        event->headshot = 1;
    event->team_kill = !killer.team.empty() && killer.team == victim.team && !(killer == victim);
    return true;
}

bool read_player_line(string_view body, LogEvent *event) {
    LogPlayer player;
    string_view rest, inside, after;
    if (!leading_player(body, &player, &rest))
        return false;
    event->has_player = true;
    event->player = player;
    if (starts_with(rest, "killed ")) {
        event->has_player = false;
        event->player = LogPlayer();
        return read_kill(player, rest.substr(7), event);
    }
    if (starts_with(rest, "committed suicide with ") && quoted(rest.substr(23), &inside, &after) &&
        (after.empty() || after == " (world)")) {
        event->kind = Kind::suicide;
        event->weapon = std::string(inside);
        return true;
    }
    if (starts_with(rest, "connected, address ")) {
        event->kind = Kind::connect;
        return true;
    }
    if (rest == "entered the game") {
        event->kind = Kind::enter;
        return true;
    }
    if (rest == "disconnected") {
        event->kind = Kind::disconnect;
        return true;
    }
    if (starts_with(rest, "joined team ") && quoted(rest.substr(12), &inside, &after) &&
        (after.empty() || after == " (auto)")) {
        event->kind = Kind::team;
        event->team = std::string(inside);
        return true;
    }
    if (starts_with(rest, "changed name to ") && quoted_to_last(rest.substr(16), &inside, &after) && after.empty()) {
        event->kind = Kind::name;
        event->text = std::string(inside);
        return true;
    }
    for (string_view word : {string_view("say "), string_view("say_team ")}) {
        if (!starts_with(rest, word))
            continue;
        string_view text = rest.substr(word.size());
        if (ends_with(text, " (dead)"))
            text.remove_suffix(7);
        if (!quoted_to_last(text, &inside, &after) || !after.empty())
            return false;
        event->kind = Kind::chat;
        event->event = std::string(word.substr(0, word.size() - 1));
        event->text = std::string(inside);
        return true;
    }
    if (starts_with(rest, "triggered ") && quoted(rest.substr(10), &inside, &after)) {
        event->kind = Kind::objective;
        event->event = std::string(inside);
        event->team = player.team;
        return true;
    }
    return false;
}

bool read_world_or_team(string_view body, LogEvent *event) {
    string_view inside, after, team;
    if (starts_with(body, "Team ")) {
        if (!quoted(body.substr(5), &team, &after) || !starts_with(after, " triggered "))
            return false;
        body = after.substr(11);
    } else if (starts_with(body, "World triggered ")) {
        body = body.substr(16);
    } else {
        return false;
    }
    if (!quoted(body, &inside, &after))
        return false;
    event->team = std::string(team);
    event->event = std::string(inside);
    // Scores follow a round's result; other trailing groups (a game's details) are left aside.
    const bool scored = read_scores(after, &event->scores);
    if (!scored)
        event->scores.clear();
    if (inside == "Round_Start")
        event->kind = Kind::round_start;
    else if (inside == "Round_End")
        event->kind = Kind::round_end;
    else if (inside == "Game_Commencing")
        event->kind = Kind::game_commencing;
    else if (starts_with(inside, "Restart_Round_("))
        event->kind = Kind::restart;
    else
        event->kind = scored ? Kind::team_win : Kind::objective;
    return true;
}

bool read_engine_line(string_view body, LogEvent *event) {
    string_view inside, after;
    if (starts_with(body, "Started map ") && quoted(body.substr(12), &inside, &after)) {
        event->kind = Kind::map;
        event->map = std::string(inside);
        return true;
    }
    if (starts_with(body, "Server say ") && quoted_to_last(body.substr(11), &inside, &after) && after.empty()) {
        event->kind = Kind::chat;
        event->event = "server_say";
        event->text = std::string(inside);
        return true;
    }
    return false;
}

}  // namespace

bool parse_player(string_view token, LogPlayer *player) {
    string_view team, auth, uid;
    if (!take_group(&token, &team) || !take_group(&token, &auth) || !take_group(&token, &uid))
        return false;
    int number = 0;
    if (!parse_int(uid, &number) || number < -1)
        return false;
    player->name = std::string(token);
    player->user_id = number;
    player->auth_id = std::string(auth);
    player->team = std::string(team);
    return true;
}

LogEvent parse_log_body(string_view body) {
    for (bool (*read)(string_view, LogEvent *) : {read_player_line, read_world_or_team, read_engine_line}) {
        LogEvent event;
        if (read(body, &event))
            return event;
    }
    return other(body);
}

bool parse_log_line(string_view line, LogEvent *event) {
    static const char pattern[] = "L dd/dd/dddd - dd:dd:dd: ";
    const size_t stamp = sizeof(pattern) - 1;
    if (line.size() < stamp)
        return false;
    for (size_t i = 0; i < stamp; ++i)
        if (pattern[i] == 'd' ? !is_digit(line[i]) : line[i] != pattern[i])
            return false;
    *event = parse_log_body(line.substr(stamp));
    // MM/DD/YYYY - HH:MM:SS as YYYY-MM-DDTHH:MM:SS.
    std::string time;
    time.reserve(19);
    time.append(line.substr(8, 4)).append("-").append(line.substr(2, 2)).append("-").append(line.substr(5, 2));
    time.append("T").append(line.substr(15, 8));
    event->time = std::move(time);
    return true;
}

}  // namespace web::log
