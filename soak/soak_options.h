// orlex_soak's command line.
#pragma once

#include <cstdint>
#include <string>

namespace soak {

struct SoakOptions {
    std::string simhost;  // empty: the one built beside this program
    std::string plugin;   // empty: the simulated server's own default
    std::string runner;   // a program that runs the server (such as the 32-bit runner), or none
    double game_days = 30.0;
    double speed = 300.0;
    double fps = 20.0;
    int bots = 32;
    double rotate_minutes = 2.0;
    double sample_seconds = 60.0;
    double warmup_seconds = 180.0;
    double churn_per_second = 3.0;
    double says_per_minute = 20.0;
    // After the warm-up the heap moves by under 1 KB (the log's window holds lines of varying
    // length); 16 KB is far above that, yet one leaked line per connection (about 190 bytes, the
    // log that kept every line) passes it within a hundred connections, well inside any run.
    double heap_bound_kb = 16.0;
    // Resident memory moves by whole pages as the allocator grows and trims its arena: a looser bound.
    double rss_bound_kb = 256.0;
    std::uint64_t seed = 1;
    std::string samples_file;  // the samples as tab-separated columns, for plotting
};

enum class SoakParse { run, help, error };

SoakParse parse_soak_options(int argc, const char *const *argv, SoakOptions *options);

}  // namespace soak
