// orlex_web under load, measured from outside: the gateway a process of its own; a generator thread
// playing N fake plug-ins it connects to; M WebSocket viewers on threads of their own. The delay
// of a record is from the moment the generator sent it to the moment a viewer of that server has
// a state reflecting it (the state's record count reaches it). Cases: without recording, with
// recording, recording to a slow disk (each write and flush there takes 200 ms), and a scale point.
// orlex_web_bench --web PATH --slow-disk LIB [--servers 50] [--viewers 500] [--seconds 60]
//                 [--scale-servers 200] [--scale-viewers 5000] [--cases off,on,slow,scale]
#include <sys/resource.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "bench/gateway_case.h"

namespace {

struct Run {
    std::string label;
    bench::CaseSettings settings;
    bench::CaseFigures figures;
};

void print_case(const Run &run) {
    const bench::CaseFigures &f = run.figures;
    std::printf("-- %s: %zu streams x %zu viewers, %.0f s measured after %.0f s of warm-up\n", run.label.c_str(),
                run.settings.streams, run.settings.viewers, run.settings.seconds, run.settings.warm_up);
    if (!f.failure.empty())
        std::printf("   NOT A CLEAN MEASUREMENT: %s\n", f.failure.c_str());
    std::printf(
        "   viewers with a state %zu, lost after it %zu, ended before it (refused) %zu; records sent %llu; "
        "states delivered %llu, server lists %llu\n",
        f.viewers_connected, f.viewers_lost, f.viewers_refused, f.records_sent, f.states, f.lists);
    std::printf(
        "   delay, record sent -> state at the viewer: p50 %.1f ms  p99 %.1f ms  max %.1f ms "
        "(%llu deliveries, %llu never delivered, counted at their age)\n",
        f.p50_ms, f.p99_ms, f.max_ms, f.deliveries, f.undelivered);
    std::printf(
        "   gateway: %.1f %% of one core, %.1f us of CPU per state delivered; resident %.1f MB "
        "(peak %.1f MB), %.1f MB before the viewers came: %.1f kB per viewer\n",
        100 * f.gateway_core_share, f.gateway_cpu_per_state_us, f.rss_kb / 1024.0, f.peak_kb / 1024.0,
        f.rss_before_viewers_kb / 1024.0, f.kb_per_viewer());
    std::printf(
        "   machine (%ld cores): %.0f %% busy while measured; the generator and viewers %.1f %% of one core; "
        "load average %.2f\n",
        sysconf(_SC_NPROCESSORS_ONLN), 100 * f.machine_busy_share, 100 * f.bench_core_share, f.load_average);
    if (!f.slow_disk_note.empty())
        std::printf("   %s\n", f.slow_disk_note.c_str());
    std::fflush(stdout);
}

const char *verdict(bool met) { return met ? "met" : "MISSED"; }

// One line a case, to copy into a note.
void print_summary(const std::vector<Run> &runs) {
    std::printf(
        "\n| case | p50 ms | p99 ms | gateway core | RSS MB | kB/viewer | us CPU/state | machine busy | targets |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    const Run *off = nullptr;
    for (const Run &run : runs)
        if (run.settings.recording == bench::Recording::off && run.label != "scale")
            off = &run;
    for (const Run &run : runs) {
        const bench::CaseFigures &f = run.figures;
        const bool scale = run.label == "scale";
        std::string targets;
        if (scale)
            targets = std::string("p99<=100 ms ") + verdict(f.p99_ms <= 100) + ", <=8 kB/viewer " +
                      verdict(f.kb_per_viewer() <= 8);
        else
            targets = std::string("p99<=50 ms ") + verdict(f.p99_ms <= 50) + ", <=10% core " +
                      verdict(f.gateway_core_share <= 0.10) + ", <=100 MB " + verdict(f.rss_kb <= 100 * 1024);
        if (run.settings.recording == bench::Recording::slow_disk && off)
            targets +=
                ", p99 within 10% of recording off " + std::string(verdict(f.p99_ms <= 1.1 * off->figures.p99_ms));
        if (!f.failure.empty())
            targets += " (not clean: " + f.failure + ")";
        std::printf("| %s %zux%zu | %.1f | %.1f | %.1f %% | %.1f | %.1f | %.1f | %.0f %% | %s |\n", run.label.c_str(),
                    run.settings.streams, run.settings.viewers, f.p50_ms, f.p99_ms, 100 * f.gateway_core_share,
                    f.rss_kb / 1024.0, f.kb_per_viewer(), f.gateway_cpu_per_state_us, 100 * f.machine_busy_share,
                    targets.c_str());
    }
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app("Measures orlex_web from outside: delivery delay, CPU and memory under streams and viewers.",
                 "orlex_web_bench");
    bench::CaseSettings base;
    size_t scale_streams = 200, scale_viewers = 5000;
    std::string cases = "off,on,slow,scale";
    app.add_option("--web", base.web, "the gateway program")->required();
    app.add_option("--slow-disk", base.slow_disk, "the slow-disk library (for the slow case)");
    app.add_option("--servers", base.streams, "streams of the main cases")->capture_default_str();
    app.add_option("--viewers", base.viewers, "viewers of the main cases")->capture_default_str();
    app.add_option("--seconds", base.seconds, "measured time of each case")->capture_default_str();
    app.add_option("--warm-up", base.warm_up, "time after the viewers came before measuring")->capture_default_str();
    app.add_option("--connect-limit", base.connect_limit, "seconds for every viewer to have its first state")
        ->capture_default_str();
    app.add_option("--viewer-threads", base.viewer_threads, "threads the viewers share")->capture_default_str();
    app.add_option("--slow-ms", base.slow_ms, "how much longer each write to the slow disk takes")
        ->capture_default_str();
    app.add_option("--scale-servers", scale_streams, "streams of the scale point")->capture_default_str();
    app.add_option("--scale-viewers", scale_viewers, "viewers of the scale point")->capture_default_str();
    app.add_option("--cases", cases, "which cases, of off,on,slow,scale")->capture_default_str();
    CLI11_PARSE(app, argc, argv);

    // Two descriptors a viewer (ours and the gateway's, which inherits the limit), and room.
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    const size_t most_viewers =
        static_cast<size_t>(limit.rlim_cur) > 512 ? static_cast<size_t>(limit.rlim_cur) - 512 : 0;

    std::vector<Run> runs;
    std::stringstream wanted(cases);
    for (std::string name; std::getline(wanted, name, ',');) {
        Run run{name, base, {}};
        if (name == "on") {
            run.settings.recording = bench::Recording::on;
        } else if (name == "slow") {
            if (base.slow_disk.empty()) {
                std::fprintf(stderr, "orlex_web_bench: the slow case needs --slow-disk\n");
                return 2;
            }
            run.settings.recording = bench::Recording::slow_disk;
            run.label = "slow disk (" + std::to_string(base.slow_ms) + " ms a write)";
        } else if (name == "scale") {
            run.settings.streams = scale_streams;
            run.settings.viewers = scale_viewers;
        } else if (name == "off") {
            run.label = "recording off";
        } else {
            std::fprintf(stderr, "orlex_web_bench: no case \"%s\"\n", name.c_str());
            return 2;
        }
        if (name == "on")
            run.label = "recording on";
        if (run.settings.viewers > most_viewers) {
            std::fprintf(stderr,
                         "orlex_web_bench: %s: %zu viewers need more descriptors than the limit (%llu) allows\n",
                         name.c_str(), run.settings.viewers, static_cast<unsigned long long>(limit.rlim_cur));
            return 1;
        }
        run.figures = bench::run_case(run.settings);
        print_case(run);
        runs.push_back(run);
    }
    print_summary(runs);
    return 0;
}
