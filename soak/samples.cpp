#include "soak/samples.h"

#include <cstdio>

namespace soak {

namespace {

std::string line_of(const char *format, const Sample &sample) {
    char line[256];
    std::snprintf(line, sizeof(line), format, sample.real_seconds / 60.0, sample.game_seconds / 86400.0, sample.rss_kb,
                  sample.heap_bytes, sample.descriptors, sample.free_slots,
                  static_cast<unsigned long long>(sample.records), static_cast<unsigned long long>(sample.cycles),
                  static_cast<unsigned long long>(sample.visits), static_cast<unsigned long long>(sample.cut_offs),
                  static_cast<unsigned long long>(sample.says_sent), static_cast<unsigned long long>(sample.says_seen));
    return line;
}

const Sample *baseline_of(const std::vector<Sample> &samples, double warmup_seconds) {
    for (const Sample &sample : samples)
        if (sample.real_seconds >= warmup_seconds)
            return &sample;
    return nullptr;
}

std::string at(const Sample &sample) {
    char text[64];
    std::snprintf(text, sizeof(text), "at %.1f min (%.2f game days): ", sample.real_seconds / 60.0,
                  sample.game_seconds / 86400.0);
    return text;
}

}  // namespace

std::string sample_table(const std::vector<Sample> &samples) {
    std::string table =
        "real min  game days  RSS KB  heap bytes  fds  free   records    cycles  visits  cut-offs  says sent/seen\n";
    for (const Sample &sample : samples)
        table += sample_line(sample);
    return table;
}

std::string sample_line(const Sample &sample) {
    return line_of("%8.1f  %9.3f  %6ld  %10lld  %3d  %4d  %8llu  %8llu  %6llu  %8llu  %llu/%llu\n", sample);
}

std::string sample_columns(const std::vector<Sample> &samples) {
    std::string columns =
        "real_min\tgame_days\trss_kb\theap_bytes\tfds\tfree_slots\trecords\tcycles\tvisits\tcut_offs"
        "\tsays_sent\tsays_seen\n";
    for (const Sample &sample : samples)
        columns += line_of("%.2f\t%.4f\t%ld\t%lld\t%d\t%d\t%llu\t%llu\t%llu\t%llu\t%llu\t%llu\n", sample);
    return columns;
}

std::vector<std::string> growth_faults(const std::vector<Sample> &samples, const Bounds &bounds) {
    std::vector<std::string> faults;
    const Sample *base = baseline_of(samples, bounds.warmup_seconds);
    if (!base || base == &samples.back()) {
        faults.push_back("no samples after the warm-up to measure growth by");
        return faults;
    }
    for (const Sample *sample = base + 1; sample <= &samples.back(); ++sample) {
        if (sample->heap_bytes - base->heap_bytes > bounds.heap_kb * 1024)
            faults.push_back(at(*sample) + "heap in use grew by " +
                             std::to_string(sample->heap_bytes - base->heap_bytes) + " bytes");
        if (sample->rss_kb - base->rss_kb > bounds.rss_kb)
            faults.push_back(at(*sample) + "resident memory grew by " + std::to_string(sample->rss_kb - base->rss_kb) +
                             " KB");
        if (sample->descriptors != base->descriptors)
            faults.push_back(at(*sample) + std::to_string(sample->descriptors) + " descriptors open, " +
                             std::to_string(base->descriptors) + " after the warm-up");
        if (sample->free_slots != base->free_slots)
            faults.push_back(at(*sample) + std::to_string(sample->free_slots) + " free slots, " +
                             std::to_string(base->free_slots) + " after the warm-up");
        if (sample->cycles <= (sample - 1)->cycles)
            faults.push_back(at(*sample) + "no report cycle since the sample before");
    }
    return faults;
}

}  // namespace soak
