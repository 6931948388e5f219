#include "client/options.h"

#include <CLI/CLI.hpp>

#include "cmdline/number_checks.h"

namespace client {
namespace {

// One command per --send: the server honours only the first line of a read.
const CLI::Validator ONE_COMMAND(
    [](std::string &input) {
        return input.empty() || input.find_first_of("\r\n") != std::string::npos
                   ? std::string("needs one command without line breaks")
                   : std::string();
    },
    "");

const CLI::Validator NOT_EMPTY([](std::string &input) { return input.empty() ? "cannot be empty" : ""; }, "");

// The command line, its options bound to the fields of options.
void describe(CLI::App &app, Options &options) {
    app.description("Shows a game server's live report stream: server, players, objectives, chat.");
    app.footer(
        "Commands: GET_PLAYER GET_SERVER GET_FLAG GET_SENTRY GET_TELEPORTER GET_DISPENSER GET_HIVE\n"
        "GET_RESOURCE GET_COMMAND GET_BOMB GET_HOSTAGE \"SET_REFRESH <seconds>\"");
    CLI::Option *host =
        app.add_option("HOST", options.host, "IPv4 address or host name of the game server")->check(NOT_EMPTY);
    CLI::Option *port =
        app.add_option("PORT", options.port, "its administration port (the game port + 13000 by default)")
            ->transform(cmdline::whole_between(1, 65535));
    CLI::Option *send =
        app.add_option("--send", options.sends,
                       "send a command, e.g. GET_PLAYER or \"SET_REFRESH 2\"; repeatable, sent in order, one every "
                       "--spacing seconds")
            ->type_name("CMD")
            ->check(ONE_COMMAND)
            ->allow_extra_args(false);
    CLI::Option *raw = app.add_flag("--raw", options.raw, "print the records exactly as they arrive");
    app.add_flag("--once", options.once, "ask for the server and player reports, print one snapshot, exit")
        ->excludes(raw);
    app.add_option("--timeout", options.timeout,
                   "seconds to give up connecting, or with --once getting the snapshot, 0.1 to 86400")
        ->type_name("SECS")
        ->check(cmdline::between(0.1, 86400))
        ->capture_default_str();
    app.add_option("--spacing", options.spacing,
                   "seconds between two commands, 0 to 3600 (the server reads a client once per query tick and "
                   "honours only the first line)")
        ->type_name("SECS")
        ->check(cmdline::between(0, 3600))
        ->capture_default_str();
    app.add_option("--chat", options.chat_lines, "chat lines shown, 0 to 1000")
        ->type_name("N")
        ->transform(cmdline::whole_between(0, 1000))
        ->capture_default_str();
    app.add_option("--width", options.width, "columns of the view, 20 to 1000 (default: the terminal's, or 100)")
        ->type_name("N")
        ->transform(cmdline::whole_between(20, 1000));
    CLI::Option *record = app.add_option("--record", options.record_path,
                                         "keep every record with its arrival time in FILE (a new file; "
                                         "docs/recording.md describes it)")
                              ->type_name("FILE")
                              ->check(NOT_EMPTY);
    app.add_option(
           "--replay", options.replay_path,
           "show a recording as it was seen live, at its pace; with it, --once shows the last state at "
           "once and --raw exports the records, exactly as they arrived (the join password blanked), as plain text")
        ->type_name("FILE")
        ->check(NOT_EMPTY)
        ->excludes(host)
        ->excludes(port)
        ->excludes(send)
        ->excludes(record);
    app.add_option("--speed", options.speed, "replay X times as fast, 0.5 to 16")
        ->type_name("X")
        ->check(cmdline::between(0.5, 16))
        ->capture_default_str();
}

}  // namespace

bool parse_options(const std::vector<std::string> &arguments, Options *options, std::string *error) {
    *options = Options();
    CLI::App app("", "orlex_client");
    describe(app, *options);
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());  // as CLI11 takes them
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp &) {
        options->help = true;
    } catch (const CLI::ParseError &failure) {
        *error = failure.what();
        return false;
    }
    if (!options->help && options->replay_path.empty() && (options->host.empty() || options->port == 0)) {
        *error = "HOST and PORT are required (or --replay FILE)";
        return false;
    }
    return true;
}

std::string usage() {
    Options unused;
    CLI::App app("", "orlex_client");
    describe(app, unused);
    return app.help();
}

}  // namespace client
