#include "soak/soak_options.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cmdline/number_checks.h"

namespace soak {

SoakParse parse_soak_options(int argc, const char *const *argv, SoakOptions *options) {
    CLI::App app(
        "Runs the simulated server with the plug-in for days of game time under clients that come and go, "
        "a slow reader and console chat, checks that a well-behaved client gets every report cycle, and "
        "fails when the server's memory or descriptors grow.",
        "orlex_soak");
    app.add_option("--simhost", options->simhost, "simulated server (default: the one built beside this program)")
        ->type_name("PATH");
    app.add_option("--plugin", options->plugin, "plug-in library (default: the simulated server's own)")
        ->type_name("PATH");
    app.add_option("--runner", options->runner, "program that runs the server, such as scripts/run-i386.sh")
        ->type_name("PATH");
    app.add_option("--days", options->game_days, "game time to run, in days")
        ->check(cmdline::between(0.001, 365))
        ->capture_default_str();
    app.add_option("--speed", options->speed, "game time per second of real time")
        ->check(cmdline::between(1, 100000))
        ->capture_default_str();
    app.add_option("--fps", options->fps, "server frames per second of game time")
        ->check(cmdline::between(1, 1000))
        ->capture_default_str();
    app.add_option("--bots", options->bots, "bots playing, 0 to 32")
        ->transform(cmdline::whole_between(0, 32))
        ->capture_default_str();
    app.add_option("--rotate", options->rotate_minutes, "game minutes on each map")
        ->check(cmdline::between(1, 1000))
        ->capture_default_str();
    app.add_option("--sample", options->sample_seconds, "real seconds between two samples")
        ->check(cmdline::between(1, 3600))
        ->capture_default_str();
    app.add_option("--warmup", options->warmup_seconds, "real seconds before the sample growth is measured from")
        ->check(cmdline::at_least(0))
        ->capture_default_str();
    app.add_option("--churn", options->churn_per_second, "clients that come and go, per real second")
        ->check(cmdline::between(0, 100))
        ->capture_default_str();
    app.add_option("--says", options->says_per_minute, "console say lines per real minute")
        ->check(cmdline::between(0, 6000))
        ->capture_default_str();
    app.add_option("--heap-bound", options->heap_bound_kb, "growth of the heap in use allowed after warm-up, KB")
        ->check(cmdline::at_least(0))
        ->capture_default_str();
    app.add_option("--rss-bound", options->rss_bound_kb, "growth of resident memory allowed after warm-up, KB")
        ->check(cmdline::at_least(0))
        ->capture_default_str();
    app.add_option("--seed", options->seed, "seed of the clients' and the match's chance")
        ->transform(cmdline::whole_between(0, 4294967295.0))
        ->capture_default_str();
    app.add_option("--samples", options->samples_file, "also write the samples to this file, tab-separated")
        ->type_name("PATH");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        return app.exit(error, std::cout, std::cerr) == 0 ? SoakParse::help : SoakParse::error;
    }
    return SoakParse::run;
}

}  // namespace soak
