// orlex_simhost's command line.
#pragma once

#include <string>
#include <vector>

#include "simhost/game_server.h"
#include "simhost/match.h"

namespace simhost {

struct ProgramOptions {
    ServerOptions server;
    MatchOptions match;
    std::string plugin;       // empty: the plug-in built beside the program
    bool map_given = false;   // else the game's first map of the rotation
    std::string write_files;  // a folder the map files are generated into and kept in; empty: none
    double duration = -1.0;   // seconds of server time; negative: until quit
    bool fast = false;        // frames as fast as possible
    double speed = 1.0;       // else game seconds per second of real time
    bool log = false;
    bool quiet = false;
    // Console commands run before the first map loads, as a server's configuration file runs them
    // ("logaddress_add HOST PORT").
    std::vector<std::string> commands;
};

enum class ParseOutcome { run, help, error };

// Reads the arguments; help goes to standard output, mistakes (naming the option and what it takes)
// to standard error.
ParseOutcome parse_program_options(int argc, const char *const *argv, ProgramOptions *options);

}  // namespace simhost
