// One measured run of the gateway (orlex_web, a process of its own): the generator's streams, the
// viewers, and the figures the gateway showed while they ran.
#pragma once

#include <string>

namespace bench {

enum class Recording { off, on, slow_disk };

struct CaseSettings {
    std::string web;        // the gateway program
    std::string slow_disk;  // the slow-disk library, for Recording::slow_disk
    size_t streams = 50, viewers = 500, viewer_threads = 2;
    double seconds = 60, warm_up = 8;
    double connect_limit = 60;  // for every viewer to have its first state
    Recording recording = Recording::off;
    int slow_ms = 200;
};

struct CaseFigures {
    std::string failure;  // why the run is not a measurement; empty when it is
    size_t viewers_connected = 0, viewers_lost = 0, viewers_refused = 0;
    unsigned long long records_sent = 0, deliveries = 0, undelivered = 0, states = 0, lists = 0;
    double p50_ms = 0, p99_ms = 0, max_ms = 0;
    double gateway_core_share = 0;  // of one core, over the measured time
    double gateway_cpu_per_state_us = 0;
    long rss_kb = 0, peak_kb = 0, rss_before_viewers_kb = 0;
    double machine_busy_share = 0;  // of all cores, over the measured time
    double bench_core_share = 0;    // the generator's and the viewers' threads, of one core
    double load_average = 0;        // the 1-minute load average at the end
    std::string slow_disk_note;     // what the slow disk says it delayed
    double kb_per_viewer() const;
};

CaseFigures run_case(const CaseSettings &settings);

}  // namespace bench
