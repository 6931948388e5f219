// A whole simulated match with the built plug-in: the CPU time spent inside its hooks, divided by
// the game time simulated, as a share of one core at 1000 frames a second.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/full_server.h"
#include "simhost/map_catalog.h"
#include "simhost/match.h"
#include "simhost/temp_folder.h"

namespace bench {

// What timing one hook call costs by itself (two clock readings), to take off the measure.
static double clock_pair_seconds() {
    const int pairs = 1000000;
    std::chrono::steady_clock::duration total{};
    for (int i = 0; i < pairs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        total += std::chrono::steady_clock::now() - start;
    }
    return std::chrono::duration<double>(total).count() / pairs;
}

void print_match_share(double game_seconds) {
    simhost::TempFolder files("orlex_bench-");
    const int port = testing_support::free_port();
    simhost::ServerOptions options;
    options.engine.game_dir = "cstrike";
    options.engine.files_root = files.path();
    options.fps = 1000;
    options.map = simhost::map_rotation("cstrike").front().name;
    options.settings = {{"orlex_mm_port", std::to_string(port)}};
    simhost::write_map_files(files.path(), "cstrike", "");
    simhost::GameServer server(options);
    simhost::MatchOptions match_options;
    match_options.bots = 32;
    simhost::Match match(server, match_options);
    std::string error;
    if (!server.start(ORLEX_PLUGIN_PATH, &error)) {
        std::fprintf(stderr, "bench: cannot load the plug-in: %s\n", error.c_str());
        return;
    }
    match.begin();
    server.run_for(5.5);
    ReadingClients readers(port, 10);

    server.host().time_hooks(true);
    const double start = server.engine().time();
    double played = 0.0;
    while (played < game_seconds) {
        const double before = server.engine().time();
        server.run_frame();
        match.frame();
        const double after = server.engine().time();
        played += after > before ? after - before : server.frame_time();  // the clock restarts at map changes
    }
    (void)start;
    server.host().time_hooks(false);

    const double measured = std::chrono::duration<double>(server.host().hook_time()).count();
    const double overhead = clock_pair_seconds() * static_cast<double>(server.host().hook_calls());
    const double inside = measured > overhead ? measured - overhead : 0.0;
    std::printf(
        "whole match: cstrike, 32 bots, 10 clients, %.0f s of game time at 1000 frames/s: %ld hook calls,\n"
        "  %.1f ms inside the plug-in = %.4f%% of one core (target <= 0.03%%); clients read %zu bytes\n",
        played, server.host().hook_calls(), inside * 1e3, 100.0 * inside / played, readers.bytes());
}

}  // namespace bench
