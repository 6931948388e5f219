#include "web/history/history_tap.h"

#include <cstdlib>

namespace web::history {
namespace {

PlayerRef ref_of(const log::LogPlayer &player) { return {player.user_id, player.name, player.auth_id, player.team}; }

Position position_of(const view::State &view, int user_id) {
    if (user_id < 0 || !view.have_players)
        return {};
    for (const view::Player &player : view.players)
        if (player.user_id == user_id)
            return {true, player.x, player.y, player.z};
    return {};
}

std::vector<std::pair<std::string, int>> scores_of(const view::State &view) {
    std::vector<std::pair<std::string, int>> scores;
    for (const view::Team &team : view.server.teams) {
        char *end = nullptr;
        const long score = std::strtol(team.score.c_str(), &end, 10);
        if (!team.name.empty() && end != team.score.c_str() && score >= 0 && score < 1000000)
            scores.emplace_back(team.name, static_cast<int>(score));
    }
    return scores;
}

}  // namespace

HistoryTap::HistoryTap(HistoryWriter &writer, std::string server, bool keep_chat)
    : writer_(writer), server_(std::move(server)), keep_chat_(keep_chat) {}

HistoryTap::~HistoryTap() {
    if (in_match_)
        end_match(last_ms_);
}

Fact HistoryTap::fact(Fact::Type type, int64_t now_ms) const {
    Fact made;
    made.type = type;
    made.server = server_;
    made.at_ms = now_ms;
    return made;
}

void HistoryTap::start_match(const std::string &map, int64_t now_ms) {
    if (in_match_)
        end_match(now_ms);
    Fact started = fact(Fact::Type::match_start, now_ms);
    started.map = map;
    writer_.add(std::move(started));
    in_match_ = true;
    map_ = map;
    facts_in_match_ = 0;
    scores_.clear();
}

void HistoryTap::end_match(int64_t now_ms) {
    Fact ended = fact(Fact::Type::match_end, now_ms);
    ended.scores = scores_.empty() ? team_scores_ : scores_;
    writer_.add(std::move(ended));
    in_match_ = false;
}

void HistoryTap::player_fact(Fact::Type type, const log::LogPlayer &player, int64_t now_ms, const std::string &team) {
    Fact made = fact(type, now_ms);
    made.player = ref_of(player);
    made.team = team;
    writer_.add(std::move(made));
}

void HistoryTap::kill_fact(const log::LogEvent &event, const view::State &view, int64_t now_ms) {
    Fact made = fact(Fact::Type::kill, now_ms);
    made.suicide = event.kind == log::Kind::suicide;
    const log::LogPlayer &killer = made.suicide ? event.player : event.killer;
    made.player = ref_of(killer);
    made.victim = made.suicide ? made.player : ref_of(event.victim);
    made.weapon = event.weapon;
    made.headshot = event.headshot == 1;
    made.team_kill = event.team_kill;
    made.killer_at = position_of(view, killer.user_id);
    made.victim_at = made.suicide ? made.killer_at : position_of(view, event.victim.user_id);
    writer_.add(std::move(made));
}

void HistoryTap::take(const log::LogEvent &event, const view::State &view, int64_t now_ms) {
    last_ms_ = now_ms;
    if (view.have_server && !view.server.teams.empty())
        team_scores_ = scores_of(view);
    // "Started map" begins a match, unless the one just begun is on that map and saw nothing yet.
    if (event.kind == log::Kind::map && !event.map.empty()) {
        if (!in_match_ || event.map != map_ || facts_in_match_ > 0)
            start_match(event.map, now_ms);
        return;
    }
    const std::string &map = view.have_server ? view.server.map : std::string();
    if (in_match_ && map_.empty() && !map.empty()) {
        // The log came before the server's first SERVER record: the match is the same, now named.
        Fact named = fact(Fact::Type::match_map, now_ms);
        named.map = map_ = map;
        writer_.add(std::move(named));
    } else if (!in_match_ || (!map.empty() && map != map_)) {
        start_match(map.empty() ? map_ : map, now_ms);
    }
    ++facts_in_match_;
    switch (event.kind) {
        case log::Kind::connect:
        case log::Kind::enter:
            if (event.has_player)
                player_fact(Fact::Type::join, event.player, now_ms);
            break;
        case log::Kind::team:
            if (event.has_player)
                player_fact(Fact::Type::team, event.player, now_ms, event.team);
            break;
        case log::Kind::name:
            if (event.has_player) {
                Fact renamed = fact(Fact::Type::name, now_ms);
                renamed.player = ref_of(event.player);
                renamed.text = event.text;
                writer_.add(std::move(renamed));
            }
            break;
        case log::Kind::disconnect:
            if (event.has_player)
                player_fact(Fact::Type::leave, event.player, now_ms);
            break;
        case log::Kind::kill:
            if (event.has_killer && event.has_victim)
                kill_fact(event, view, now_ms);
            break;
        case log::Kind::suicide:
            if (event.has_player)
                kill_fact(event, view, now_ms);
            break;
        case log::Kind::chat:
            if (keep_chat_ && event.has_player) {
                Fact said = fact(Fact::Type::chat, now_ms);
                said.player = ref_of(event.player);
                said.text = event.text;
                said.team_only = event.event == "say_team";
                writer_.add(std::move(said));
            }
            break;
        case log::Kind::team_win:
        case log::Kind::round_end:
            if (!event.scores.empty())
                scores_ = event.scores;
            break;
        default:
            break;
    }
}

}  // namespace web::history
