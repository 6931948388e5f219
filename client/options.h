// The command line of orlex_client.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace client {

struct Options {
    std::string host;
    int port = 0;
    std::vector<std::string> sends;  // command lines, without their line ends
    bool raw = false;
    bool once = false;
    bool help = false;
    double timeout = 15;   // seconds to connect, and with --once to get the snapshot
    double spacing = 2.1;  // seconds between two commands: the server reads a client once a tick
    size_t chat_lines = 10;
    size_t width = 0;         // 0: the terminal's width, or 100 when not a terminal
    std::string record_path;  // --record: every record kept with its arrival time
    std::string replay_path;  // --replay: a recording shown instead of a server
    double speed = 1;         // of a replay
};

// Reads the arguments after the program name; false with a message for the user when they are
// not usable.
bool parse_options(const std::vector<std::string> &arguments, Options *options, std::string *error);

std::string usage();

}  // namespace client
