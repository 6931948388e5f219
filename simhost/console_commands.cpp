#include "simhost/console_commands.h"

namespace simhost {
namespace {

std::string trim(const std::string &text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A console's say drops the quotes around the whole text.
std::string unquote(const std::string &text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

const char *const HEADING = "#slot userid name                 uniqueid             address               ping loss\n";

std::string player_line(const edict_t *player, const PlayerInfo &info, int slot) {
    char line[256];
    std::snprintf(line, sizeof(line), "#%4d %6d %-20s %-20s %-21s %4d %4d%s\n", slot, info.user_id,
                  ("\"" + info.name + "\"").c_str(), info.auth_id.c_str(), info.address.c_str(), info.ping, info.loss,
                  player->v.flags & FL_FAKECLIENT ? " bot" : "");
    return line;
}

}  // namespace

std::string status_report(GameServer &server) {
    World &world = server.engine().world();
    const std::vector<edict_t *> players = server.players();
    std::string report = "map: " + server.map() + ", players: " + std::to_string(players.size()) + " active (" +
                         std::to_string(world.max_clients()) + " max)\n";
    report += HEADING;
    for (edict_t *player : players)
        report += player_line(player, *world.player_info(player), world.index_of(player));
    return report;
}

ConsoleOutcome run_console_line(GameServer &server, const std::string &line, std::FILE *out) {
    const std::string command = trim(line);
    const std::string name = command.substr(0, command.find(' '));
    if (command.empty())
        return ConsoleOutcome::done;
    if (name == "quit")
        return ConsoleOutcome::quit;
    if (name == "say") {
        const std::string text = unquote(trim(command.substr(3)));
        if (text.empty())
            std::fputs("usage: say TEXT\n", out);
        else
            server.console_say(text);
        return ConsoleOutcome::done;
    }
    if (command == "status") {
        std::fputs(status_report(server).c_str(), out);
        std::fflush(out);
        return ConsoleOutcome::done;
    }
    std::fprintf(out, "Unknown command: %s\n", name.c_str());
    std::fflush(out);
    return ConsoleOutcome::unknown;
}

}  // namespace simhost
