#include "soak/web_soak_options.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cmdline/number_checks.h"

namespace soak {

WebSoakParse parse_web_soak_options(int argc, const char *const *argv, WebSoakOptions *options) {
    CLI::App app(
        "Runs the web gateway watching simulated servers, recording, and replaying, under viewers that come, "
        "switch servers, seek replays and leave, a viewer that never reads and a configuration rewritten now and "
        "then; checks that every viewer gets the states it is owed and that the gateway does not grow.",
        "orlex_web_soak");
    app.add_option("--web", options->web, "the gateway (default: the one built beside this program)")
        ->type_name("PATH");
    app.add_option("--simhost", options->simhost, "the simulated server (default: the one built beside this program)")
        ->type_name("PATH");
    app.add_option("--minutes", options->minutes, "real time to run")
        ->check(cmdline::between(0.5, 100000))
        ->capture_default_str();
    app.add_option("--servers", options->servers, "simulated servers watched")
        ->check(CLI::Range(2, 50))
        ->capture_default_str();
    app.add_option("--bots", options->bots, "bots on each")->check(CLI::Range(0, 32))->capture_default_str();
    app.add_option("--viewers", options->viewers, "viewers at any time")
        ->check(CLI::Range(1, 5000))
        ->capture_default_str();
    app.add_option("--speed", options->speed, "game time per second of real time")
        ->check(cmdline::between(1, 1000))
        ->capture_default_str();
    app.add_option("--fps", options->fps, "server frames per second of game time")
        ->check(cmdline::between(1, 1000))
        ->capture_default_str();
    app.add_option("--rotate", options->rotate_minutes, "game minutes on each map")
        ->check(cmdline::between(1, 1000))
        ->capture_default_str();
    app.add_option("--sample", options->sample_seconds, "real seconds between two samples")
        ->check(cmdline::between(1, 3600))
        ->capture_default_str();
    app.add_option("--warmup", options->warmup_seconds, "real seconds before growth is measured from")
        ->check(cmdline::between(0, 86400))
        ->capture_default_str();
    app.add_option("--config-every", options->config_seconds, "real seconds between two rewrites of the configuration")
        ->check(cmdline::between(5, 86400))
        ->capture_default_str();
    app.add_option("--stay", options->stay_seconds, "a viewer's mean seconds between two moves")
        ->check(cmdline::between(0.1, 3600))
        ->capture_default_str();
    app.add_option("--seek-every", options->seek_seconds, "seconds between two seeks of a replay")
        ->check(cmdline::between(0.5, 3600))
        ->capture_default_str();
    app.add_option("--prepare", options->prepare_seconds, "seconds of recording the replays are made of")
        ->check(cmdline::between(5, 3600))
        ->capture_default_str();
    app.add_option("--stall", options->stall_seconds, "seconds the viewer that never reads takes nothing, each time")
        ->check(cmdline::between(1, 86400))
        ->capture_default_str();
    app.add_option("--record-max-mb", options->record_max_mb, "the gateway's recording limit")
        ->check(CLI::Range(1, 100000))
        ->capture_default_str();
    app.add_option("--rss-bound", options->rss_bound_mb, "MB the gateway's memory may grow after the warm-up")
        ->check(cmdline::between(0.1, 100000))
        ->capture_default_str();
    app.add_option("--descriptor-bound", options->descriptor_bound,
                   "descriptors (less viewers) it may gain after the warm-up")
        ->check(CLI::Range(0, 100000))
        ->capture_default_str();
    app.add_option("--seed", options->seed, "seed of the viewers' chance and the servers' matches")
        ->capture_default_str();
    app.add_option("--samples", options->samples_file, "also write the samples here, tab-separated")->type_name("FILE");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        const int code = app.exit(error);
        return code == 0 ? WebSoakParse::help : WebSoakParse::error;
    }
    return WebSoakParse::run;
}

}  // namespace soak
