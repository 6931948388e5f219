#include "simhost/program_options.h"

#include <CLI/CLI.hpp>
#include <cstdint>
#include <fstream>
#include <iostream>

#include "cmdline/number_checks.h"
#include "simhost/map_catalog.h"

namespace simhost {

namespace {

// The seed is kept within the whole numbers a double holds exactly.
const double LARGEST_SEED = 9007199254740991.0;

// NAME=VALUE with a name.
const CLI::Validator SETTING(
    [](std::string &input) {
        const size_t equals = input.find('=');
        return equals == std::string::npos || equals == 0 ? input + " is not NAME=VALUE" : std::string();
    },
    "");

std::pair<std::string, std::string> split_setting(const std::string &text) {
    const size_t equals = text.find('=');
    return {text.substr(0, equals), text.substr(equals + 1)};
}

std::string first_line(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::string line;
    std::getline(file, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

}  // namespace

ParseOutcome parse_program_options(int argc, const char *const *argv, ProgramOptions *options) {
    CLI::App app(
        "A simulated game server that loads the plug-in the way a real server does, with a live "
        "simulated match on it.",
        "orlex_simhost");
    app.footer("Console commands on standard input: say TEXT, status, heap, changelevel MAP, NAME [VALUE], quit");
    EngineConfig &engine = options->server.engine;
    CLI::Option *plugin = app.add_option("--plugin", options->plugin,
                                         "plug-in library to load (default: the one built beside this program)")
                              ->type_name("PATH");
    app.add_option("--game-folder", engine.game_folder,
                   "a server's game folder: the plug-in named for this system in its addons/metamod/plugins.ini "
                   "(relative to it) is loaded, and its server.cfg executed once the plug-in is attached; "
                   "exec reads files from it")
        ->type_name("DIR")
        ->excludes(plugin);
    app.add_option("--game", engine.game_dir, "game directory: cstrike, tfc, dod, nsp or valve (deathmatch)")
        ->type_name("DIR")
        ->capture_default_str();
    CLI::Option *map =
        app.add_option("--map", options->server.map, "first map (default: the first of the game's rotation)")
            ->type_name("NAME");
    app.add_option("--bots", options->match.bots, "bots that join and play, 0 to 32")
        ->type_name("N")
        ->transform(cmdline::whole_between(0, 32))
        ->capture_default_str();
    app.add_option("--seed", options->match.seed, "seed of the match's chance: the same seed plays the same match")
        ->type_name("N")
        ->transform(cmdline::whole_between(0, LARGEST_SEED))
        ->capture_default_str();
    double rotate_minutes = options->match.map_seconds / 60.0;
    app.add_option("--rotate", rotate_minutes, "time on each map before the next of the game's rotation; 0: never")
        ->type_name("MINUTES")
        ->check(cmdline::at_least(0))
        ->capture_default_str();
    CLI::Option *files = app.add_option("--files", engine.files_root,
                                        "folder holding the game directory's files (maps/NAME.bsp) (default: a "
                                        "temporary folder with every map generated, removed at exit)")
                             ->type_name("DIR");
    app.add_option("--write-files", options->write_files,
                   "generate every map file (maps/NAME.bsp, overviews/NAME.txt and .bmp) into this folder, made "
                   "when missing and kept at exit, and play from it: the gateway's --game-dir can show them")
        ->type_name("DIR")
        ->excludes(files);
    app.add_option("--hostport", engine.hostport, "the server's game port")
        ->type_name("N")
        ->transform(cmdline::whole_between(0, 65535))
        ->capture_default_str();
    app.add_option("--fps", options->server.fps, "server frames per second, 1 to 10000")
        ->type_name("N")
        ->check(cmdline::between(1, 10000))
        ->capture_default_str();
    app.add_option("--duration", options->duration, "stop after this much server time (default: until quit or Ctrl-C)")
        ->type_name("SECONDS")
        ->check(cmdline::finite());
    CLI::Option *fast = app.add_flag("--fast", options->fast, "run frames as fast as possible instead of in real time");
    app.add_option("--speed", options->speed, "run game time at this many times real time, 0.01 to 100000")
        ->type_name("X")
        ->check(cmdline::between(0.01, 100000))
        ->excludes(fast)
        ->capture_default_str();
    std::vector<std::string> settings;
    app.add_option("--set", settings, "set a console variable before the plug-in attaches (repeatable)")
        ->check(SETTING)
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false);
    std::string rcon_password_file;
    app.add_option("--rcon-password-file", rcon_password_file,
                   "set rcon_password to the first line of this file (kept off the command line)")
        ->type_name("FILE")
        ->check(CLI::ExistingFile);
    app.add_option("--exec", options->commands,
                   "a console command run before the first map loads, e.g. \"logaddress_add 127.0.0.1 27500\" "
                   "(repeatable)")
        ->allow_extra_args(false);
    app.add_flag("--log", options->log, "print the server log");
    app.add_flag("--quiet", options->quiet, "print nothing but errors");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        const int code = app.exit(error, std::cout, std::cerr);
        return code == 0 ? ParseOutcome::help : ParseOutcome::error;
    }
    engine.port = engine.hostport;
    options->match.map_seconds = rotate_minutes * 60.0;
    for (const std::string &setting : settings)
        options->server.settings.push_back(split_setting(setting));
    if (!rcon_password_file.empty())
        options->server.settings.push_back({"rcon_password", first_line(rcon_password_file)});
    options->map_given = map->count() > 0;
    if (!options->map_given)
        options->server.map = map_rotation(engine.game_dir).front().name;
    return ParseOutcome::run;
}

}  // namespace simhost
