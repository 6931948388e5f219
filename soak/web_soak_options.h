// orlex_web_soak's command line.
#pragma once

#include <cstdint>
#include <string>

namespace soak {

struct WebSoakOptions {
    std::string web, simhost;  // empty: the ones built beside this program
    double minutes = 60;
    int servers = 5, bots = 16, viewers = 200;
    double speed = 10, fps = 10, rotate_minutes = 3;
    double sample_seconds = 30, warmup_seconds = 120;
    double config_seconds = 180;  // between two rewrites of the configuration file
    double stay_seconds = 15;     // a viewer's mean time between two moves (switch, seek, leave)
    double seek_seconds = 10;     // between two seeks of a replay
    double prepare_seconds = 20;
    // The viewer that never reads, for this long each time: the gateway's send buffer to it (up to
    // 4 MB here) fills at a busy server's pace, and then the gateway gives it 10 s.
    double stall_seconds = 150;  // recording the replays' file before the run
    int record_max_mb = 8;
    double rss_bound_mb = 8;
    int descriptor_bound = 16;
    uint64_t seed = 1;
    std::string samples_file;
};

enum class WebSoakParse { run, help, error };

WebSoakParse parse_web_soak_options(int argc, const char *const *argv, WebSoakOptions *options);

}  // namespace soak
