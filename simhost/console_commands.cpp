#include "simhost/console_commands.h"

#include "simhost/game_folder.h"
#include "simhost/heap_in_use.h"

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

const char *const HEADING =
    "#slot userid name                 uniqueid             address               ping loss frags deaths\n";

std::string player_line(const edict_t *player, const PlayerInfo &info, int slot, const Match *match) {
    const Bot *bot = match ? match->bot_of(player) : nullptr;
    char line[256];
    std::snprintf(line, sizeof(line), "#%4d %6d %-20s %-20s %-21s %4d %4d %5d %6d%s\n", slot, info.user_id,
                  ("\"" + info.name + "\"").c_str(), info.auth_id.c_str(), info.address.c_str(), info.ping, info.loss,
                  static_cast<int>(player->v.frags), bot ? bot->deaths : 0,
                  player->v.flags & FL_FAKECLIENT ? " bot" : "");
    return line;
}

ConsoleOutcome change_level(GameServer &server, Match *match, const std::string &map, std::FILE *out) {
    if (map.empty() || !match) {
        std::fputs(match ? "usage: changelevel MAP\n" : "changelevel: no match is being played\n", out);
        return ConsoleOutcome::done;
    }
    if (!match->change_level(map))
        std::fprintf(out, "changelevel: no map %s\n", map.c_str());
    else
        std::fprintf(out, "changelevel: now playing %s\n", server.map().c_str());
    return ConsoleOutcome::done;
}

// Files that exec each other stop at this depth, as an engine's command buffer would.
const int DEEPEST_EXEC = 16;

ConsoleOutcome exec_file(GameServer &server, const std::string &name, std::FILE *out, Match *match) {
    static int depth = 0;
    std::string text;
    if (name.empty()) {
        std::fputs("usage: exec FILE (relative to the game folder)\n", out);
        return ConsoleOutcome::done;
    }
    if (depth >= DEEPEST_EXEC || !read_game_file(server.engine().config().game_folder, name, &text)) {
        std::fprintf(out, "couldn't exec %s\n", name.c_str());
        return ConsoleOutcome::done;
    }
    ++depth;
    ConsoleOutcome outcome = ConsoleOutcome::done;
    for (const std::string &command : config_commands(text))
        if (run_console_line(server, command, out, match) == ConsoleOutcome::quit) {
            outcome = ConsoleOutcome::quit;
            break;
        }
    --depth;
    return outcome;
}

}  // namespace

std::string status_report(GameServer &server, const Match *match) {
    World &world = server.engine().world();
    const std::vector<edict_t *> players = server.players();
    std::string report = "map: " + server.map() + ", players: " + std::to_string(players.size()) + " active (" +
                         std::to_string(world.max_clients()) + " max)\n";
    report += HEADING;
    for (edict_t *player : players)
        report += player_line(player, *world.player_info(player), world.index_of(player), match);
    return report;
}

ConsoleOutcome run_console_line(GameServer &server, const std::string &line, std::FILE *out, Match *match) {
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
        std::fputs(status_report(server, match).c_str(), out);
        std::fflush(out);
        return ConsoleOutcome::done;
    }
    if (command == "heap") {
        const long long bytes = heap_in_use();
        if (bytes < 0)
            std::fputs("heap: not known on this system\n", out);
        else
            std::fprintf(out, "heap in use: %lld bytes\n", bytes);
        std::fflush(out);
        return ConsoleOutcome::done;
    }
    if (name == "changelevel") {
        const ConsoleOutcome outcome = change_level(server, match, trim(command.substr(name.size())), out);
        std::fflush(out);
        return outcome;
    }
    if (name == "exec") {
        const ConsoleOutcome outcome = exec_file(server, unquote(trim(command.substr(name.size()))), out, match);
        std::fflush(out);
        return outcome;
    }
    if (cvar_t *variable = server.engine().cvars().find(name)) {
        // NAME "" sets the text empty; NAME alone shows it.
        const std::string argument = trim(command.substr(name.size()));
        const std::string value = unquote(argument);
        if (argument.empty())
            std::fprintf(out, "\"%s\" is \"%s\"\n", name.c_str(), variable->string ? variable->string : "");
        else
            server.engine().cvars().set(name, value);
        std::fflush(out);
        return ConsoleOutcome::done;
    }
    std::fprintf(out, "Unknown command: %s\n", name.c_str());
    std::fflush(out);
    return ConsoleOutcome::unknown;
}

}  // namespace simhost
