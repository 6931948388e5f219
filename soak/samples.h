// The figures taken at each sample, the table of them, and the verdict on their growth.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace soak {

struct Sample {
    double real_seconds = 0;
    double game_seconds = 0;
    long rss_kb = -1;
    long long heap_bytes = -1;
    int descriptors = -1;
    int free_slots = -1;
    std::uint64_t records = 0;   // received by the well-behaved client
    std::uint64_t cycles = 0;    // complete cycles it saw
    std::uint64_t visits = 0;    // churning clients so far
    std::uint64_t cut_offs = 0;  // times the slow reader was cut off
    std::uint64_t says_sent = 0, says_seen = 0;
};

struct Bounds {
    double warmup_seconds = 0;
    double heap_kb = 16;
    double rss_kb = 256;
};

// One sample as a line of the table.
std::string sample_line(const Sample &sample);
// The table, one line a sample.
std::string sample_table(const std::vector<Sample> &samples);
// The same as tab-separated columns with a heading line.
std::string sample_columns(const std::vector<Sample> &samples);
// What grew past its bound after the warm-up: measured from the first sample taken after it. Empty:
// nothing did. Descriptors and free slots must come back exactly, since samples are taken with
// only the well-behaved client connected; the cycles must keep coming between two samples.
std::vector<std::string> growth_faults(const std::vector<Sample> &samples, const Bounds &bounds);

}  // namespace soak
