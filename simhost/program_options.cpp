#include "simhost/program_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace simhost {

const char *const PROGRAM_USAGE =
    "usage: orlex_simhost [options]\n"
    "  --plugin PATH       plug-in library to load (default: the one built beside this program)\n"
    "  --game DIR          game directory: cstrike, tfc, dod, nsp or valve (deathmatch; the default)\n"
    "  --map NAME          first map (default: the first of the game's rotation)\n"
    "  --bots N            bots that join and play, 0 to 32 (default 12)\n"
    "  --seed N            seed of the match's chance: the same seed plays the same match (default 1)\n"
    "  --rotate MINUTES    time on each map before the next of the game's rotation; 0: never (default 5)\n"
    "  --files DIR         folder holding the game directory's files (maps/NAME.bsp)\n"
    "                      (default: a temporary folder with every map generated, removed at exit)\n"
    "  --hostport N        the server's game port (default 27015)\n"
    "  --fps N             server frames per second (default 100)\n"
    "  --duration SECONDS  stop after this much server time (default: until quit or Ctrl-C)\n"
    "  --fast              run frames as fast as possible instead of in real time\n"
    "  --set NAME=VALUE    set a console variable before the plug-in attaches (repeatable)\n"
    "  --log               print the server log\n"
    "  --quiet             print nothing but errors\n"
    "Console commands on standard input: say TEXT, status, changelevel MAP, quit\n";

namespace {

bool parse_number(const char *text, double *number) {
    char *end = nullptr;
    *number = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(*number);
}

bool whole(double number) { return number == std::floor(number); }

ParseOutcome fail(const char *format, const std::string &option, const char *value) {
    std::fprintf(stderr, format, option.c_str(), value);
    std::fputs(PROGRAM_USAGE, stderr);
    return ParseOutcome::error;
}

bool set_text_option(const std::string &option, const char *value, ProgramOptions *options) {
    if (option == "--plugin") {
        options->plugin = value;
    } else if (option == "--game") {
        options->server.engine.game_dir = value;
    } else if (option == "--map") {
        options->server.map = value;
        options->map_given = true;
    } else if (option == "--files") {
        options->server.engine.files_root = value;
    } else {
        return false;
    }
    return true;
}

bool set_number_option(const std::string &option, double number, ProgramOptions *options) {
    if (option == "--hostport" && whole(number) && number >= 0 && number <= 65535)
        options->server.engine.hostport = options->server.engine.port = static_cast<int>(number);
    else if (option == "--fps" && number >= 1 && number <= 10000)
        options->server.fps = number;
    else if (option == "--duration")
        options->duration = number;
    else if (option == "--bots" && whole(number) && number >= 0 && number <= 32)
        options->match.bots = static_cast<int>(number);
    else if (option == "--seed" && whole(number) && number >= 0 && number < 9007199254740992.0)
        options->match.seed = static_cast<std::uint64_t>(number);
    else if (option == "--rotate" && number >= 0)
        options->match.map_seconds = number * 60.0;
    else
        return false;
    return true;
}

ParseOutcome set_option(const std::string &option, const char *value, ProgramOptions *options) {
    if (set_text_option(option, value, options))
        return ParseOutcome::run;
    if (option == "--set") {
        const char *equals = std::strchr(value, '=');
        if (!equals || equals == value)
            return fail("orlex_simhost: %s takes NAME=VALUE, not %s\n", option, value);
        options->server.settings.emplace_back(std::string(value, equals), std::string(equals + 1));
        return ParseOutcome::run;
    }
    double number = 0.0;
    if (!parse_number(value, &number))
        return fail("orlex_simhost: %s takes a number, not %s\n", option, value);
    if (!set_number_option(option, number, options))
        return fail("orlex_simhost: bad option or value: %s %s\n", option, value);
    return ParseOutcome::run;
}

}  // namespace

ParseOutcome parse_program_options(int argc, const char *const *argv, ProgramOptions *options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(PROGRAM_USAGE, stdout);
            return ParseOutcome::help;
        }
        if (option == "--fast" || option == "--log" || option == "--quiet") {
            (option == "--fast" ? options->fast : option == "--log" ? options->log : options->quiet) = true;
            continue;
        }
        if (i + 1 >= argc)
            return fail("orlex_simhost: %s needs a value%s\n", option, "");
        const ParseOutcome outcome = set_option(option, argv[++i], options);
        if (outcome != ParseOutcome::run)
            return outcome;
    }
    if (!options->map_given)
        options->server.map = map_rotation(options->server.engine.game_dir).front().name;
    return ParseOutcome::run;
}

}  // namespace simhost
