// The player table: one fixed-width row per player, best of each team first.
#include <algorithm>

#include "client/cells.h"
#include "client/sections.h"
#include "stream/numbers.h"

namespace view {
namespace {

// Columns after the name: team, frags, deaths, health, armour, ping, loss, time, position (three
// whole numbers of up to five characters). The team's name is cut to its column, so that at 80
// columns the player's name keeps 12.
const size_t kTeamWidth = 6;
const size_t kRestWidth = kTeamWidth + 5 + 6 + 4 + 4 + 4 + 4 + 8 + 18 + 9;
const size_t kMinNameWidth = 6, kMaxNameWidth = 32;

size_t name_width(size_t width) {
    const size_t room = width > kRestWidth ? width - kRestWidth : 0;
    return std::min(kMaxNameWidth, std::max(kMinNameWidth, room));
}

std::string header(size_t names) {
    return left("Name", names) + " " + left("Team", kTeamWidth) + " " + right("Frags", 5) + " " + right("Deaths", 6) +
           " " + right("HP%", 4) + " " + right("AP%", 4) + " " + right("Ping", 4) + " " + right("Loss", 4) + " " +
           right("Time", 8) + " " + "Position";
}

// The team's name as the server's record lists them (numbered from 0), else its number.
std::string team_label(const State &state, int team) {
    if (team < 0)
        return "-";
    const std::vector<Team> &teams = state.server.teams;
    return static_cast<size_t>(team) < teams.size() ? teams[static_cast<size_t>(team)].name : std::to_string(team);
}

std::string row(const State &state, const Player &player, size_t names) {
    const std::string team = team_label(state, player.team);
    const std::string health = player.dead ? "dead" : percent(player.health);
    const std::string position = whole(player.x) + " " + whole(player.y) + " " + whole(player.z);
    return left(player.name, names) + " " + left(team, kTeamWidth) + " " + right(whole(player.frags), 5) + " " +
           right(std::to_string(player.deaths), 6) + " " + right(health, 4) + " " + right(percent(player.armor), 4) +
           " " + right(std::to_string(player.ping), 4) + " " + right(std::to_string(player.loss), 4) + " " +
           right(duration(player.connected), 8) + " " + position;
}

// Teams in number order (players in none last), then most frags, then fewest deaths.
bool ranks_before(const Player &a, const Player &b) {
    const unsigned team_a = static_cast<unsigned>(a.team), team_b = static_cast<unsigned>(b.team);
    if (team_a != team_b)
        return team_a < team_b;
    if (a.frags != b.frags)
        return a.frags > b.frags;
    return a.deaths < b.deaths;
}

}  // namespace

Lines player_lines(const State &state, size_t width) {
    if (!state.have_players)
        return {"Waiting for the player report"};
    if (state.players.empty())
        return {"No players"};
    std::vector<Player> players = state.players;
    std::stable_sort(players.begin(), players.end(), ranks_before);
    const size_t names = name_width(width);
    Lines lines = {header(names)};
    for (const Player &player : players)
        lines.push_back(row(state, player, names));
    return lines;
}

}  // namespace view
