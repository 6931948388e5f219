// The server's lines and the chat feed.
#include <cstdint>
#include <ctime>

#include "client/sections.h"
#include "stream/numbers.h"

namespace view {
namespace {

std::string team_scores(const std::vector<Team> &teams) {
    std::string text;
    for (const Team &team : teams)
        text += (text.empty() ? "" : " | ") + team.name + " " + team.score;
    return text;
}

// HH:MM:SS of the local time a chat line arrived, and a space; nothing when that is not known.
std::string arrival_time(std::int64_t at_ms) {
    if (at_ms <= 0)
        return "";
    const std::time_t seconds = static_cast<std::time_t>(at_ms / 1000);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &seconds) != 0)
        return "";
#else
    if (!localtime_r(&seconds, &local))
        return "";
#endif
    char text[16];
    return std::strftime(text, sizeof(text), "%H:%M:%S ", &local) ? text : "";
}

std::string player_count(const State &state) {
    const std::string now = state.have_players ? std::to_string(state.players.size()) : "?";
    return state.server.max_players.empty() ? now : now + "/" + state.server.max_players;
}

}  // namespace

Lines server_lines(const State &state) {
    if (!state.have_server)
        return {"Waiting for the server report"};
    const ServerInfo &server = state.server;
    const std::string game = server.game_dir.empty() ? "" : " (" + server.game_dir + ")";
    Lines lines = {"Host  " + server.host_name, "Map   " + server.map + game + "   Players " + player_count(state) +
                                                    "   Time left " + duration(server.time_left) + "   Up " +
                                                    duration(server.uptime)};
    if (!server.teams.empty())
        lines.push_back("Teams " + team_scores(server.teams));
    return lines;
}

Lines chat_lines(const State &state) {
    if (state.chat.empty())
        return {};
    Lines lines = {"Chat"};
    for (const ChatLine &line : state.chat)
        lines.push_back(arrival_time(line.at_ms) + (line.kind == "SERVER_SAY" ? "[server] " + line.text : line.text));
    return lines;
}

}  // namespace view
