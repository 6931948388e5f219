#include "simhost/console_commands.h"

#include "simhost/admin_commands.h"
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

void change_level(GameServer &server, Match *match, const std::string &map, std::string *out) {
    if (map.empty() || !match)
        *out += match ? "usage: changelevel MAP\n" : "changelevel: no match is being played\n";
    else if (!match->change_level(map))
        *out += "changelevel: no map " + map + "\n";
    else
        *out += "changelevel: now playing " + server.map() + "\n";
}

void show_heap(std::string *out) {
    const long long bytes = heap_in_use();
    *out += bytes < 0 ? std::string("heap: not known on this system\n")
                      : "heap in use: " + std::to_string(bytes) + " bytes\n";
}

// NAME "" sets the text empty; NAME alone shows it.
void show_or_set(GameServer &server, cvar_t *variable, const std::string &name, const std::string &argument,
                 std::string *out) {
    if (argument.empty())
        *out += "\"" + name + "\" is \"" + (variable->string ? variable->string : "") + "\"\n";
    else
        server.engine().cvars().set(name, unquote(argument));
}

// Files that exec each other stop at this depth, as an engine's command buffer would.
const int DEEPEST_EXEC = 16;

ConsoleOutcome exec_file(GameServer &server, const std::string &name, std::string *out, Match *match) {
    static int depth = 0;
    std::string text;
    if (name.empty()) {
        *out += "usage: exec FILE (relative to the game folder)\n";
        return ConsoleOutcome::done;
    }
    if (depth >= DEEPEST_EXEC || !read_game_file(server.engine().config().game_folder, name, &text)) {
        *out += "couldn't exec " + name + "\n";
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

ConsoleOutcome run_console_line(GameServer &server, const std::string &line, std::string *out, Match *match) {
    const std::string command = trim(line);
    const std::string name = command.substr(0, command.find(' '));
    const std::string rest = trim(command.substr(name.size()));
    if (command.empty())
        return ConsoleOutcome::done;
    if (name == "quit")
        return ConsoleOutcome::quit;
    if (name == "say") {
        const std::string text = unquote(rest);
        if (text.empty())
            *out += "usage: say TEXT\n";
        else
            server.console_say(text);
    } else if (command == "status") {
        *out += status_report(server, match);
    } else if (command == "heap") {
        show_heap(out);
    } else if (name == "changelevel") {
        change_level(server, match, rest, out);
    } else if (name == "exec") {
        return exec_file(server, unquote(rest), out, match);
    } else if (run_admin_command(server, match, command, out)) {
    } else if (cvar_t *variable = server.engine().cvars().find(name)) {
        show_or_set(server, variable, name, rest, out);
    } else {
        *out += "Unknown command: " + name + "\n";
        return ConsoleOutcome::unknown;
    }
    return ConsoleOutcome::done;
}

ConsoleOutcome run_console_line(GameServer &server, const std::string &line, std::FILE *out, Match *match) {
    std::string reply;
    const ConsoleOutcome outcome = run_console_line(server, line, &reply, match);
    std::fputs(reply.c_str(), out);
    std::fflush(out);
    return outcome;
}

}  // namespace simhost
