#include "bench/gateway_case.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "bench/plugin_streams.h"
#include "bench/ws_viewers.h"
#include "soak/process_figures.h"
#include "soak/server_process.h"

namespace bench {
namespace {

const double kStreamsAloneSeconds = 5;  // before the viewers come: the memory they add is measured from here

double percentile(std::vector<double> &values, double share) {
    if (values.empty())
        return NAN;
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return values[at];
}

double own_cpu_seconds() {
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    return static_cast<double>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
           static_cast<double>(used.ru_utime.tv_usec + used.ru_stime.tv_usec) * 1e-6;
}

double load_average() {
    std::ifstream file("/proc/loadavg");
    double one_minute = 0;
    file >> one_minute;
    return one_minute;
}

std::string text_of(const std::string &path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> gateway_command(const CaseSettings &settings, const PluginStreams &streams,
                                         const std::string &record_dir) {
    std::vector<std::string> command;
    if (settings.recording == Recording::slow_disk)
        command = {"/usr/bin/env", "LD_PRELOAD=" + settings.slow_disk, "ORLEX_SLOW_DIR=" + record_dir,
                   "ORLEX_SLOW_MS=" + std::to_string(settings.slow_ms)};
    // Every viewer comes from loopback: the shares per address are raised to their maximum, and the
    // viewers spread over several loopback addresses (ws_viewers.cpp) to stay within them.
    command.insert(command.end(), {settings.web, "--listen", "127.0.0.1:0", "--websockets-per-address", "1000",
                                   "--http-per-address", "1000"});
    for (size_t at = 0; at < streams.size(); ++at)
        command.insert(command.end(),
                       {"--server", "s" + std::to_string(at) + "=127.0.0.1:" + std::to_string(streams.port(at))});
    if (settings.recording != Recording::off)
        command.insert(command.end(), {"--record", record_dir, "--record-max-mb", "4096"});
    return command;
}

// Sleeps, looking at the gateway every second; false when it has ended.
bool wait_while_running(soak::ServerProcess &gateway, double seconds) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    while (Clock::now() < end) {
        if (gateway.ended())
            return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::seconds(1), end - Clock::now()));
    }
    return !gateway.ended();
}

struct Start {
    double gateway_cpu, own_cpu;
    soak::MachineTime machine;
    Clock::time_point when;
};

void measure(const CaseSettings &settings, soak::ServerProcess &gateway, PluginStreams &streams, ViewerPool &viewers,
             CaseFigures &figures) {
    const Start start{soak::cpu_seconds(gateway.pid()), own_cpu_seconds(), soak::machine_time(), Clock::now()};
    const unsigned long long sent_before = streams.total_sent();
    viewers.start_measuring();
    const bool running = wait_while_running(gateway, settings.seconds);
    ViewerFigures seen = viewers.stop_measuring();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start.when).count();
    const soak::MachineTime machine = soak::machine_time();
    if (!running) {
        figures.failure = "the gateway ended during the run";
        return;
    }
    const double gateway_cpu = soak::cpu_seconds(gateway.pid()) - start.gateway_cpu;
    figures.gateway_core_share = gateway_cpu / elapsed;
    figures.bench_core_share = (own_cpu_seconds() - start.own_cpu) / elapsed;
    figures.machine_busy_share =
        (machine.busy - start.machine.busy) / std::max(1e-9, machine.total - start.machine.total);
    figures.load_average = load_average();
    figures.rss_kb = soak::resident_kilobytes(gateway.pid());
    figures.peak_kb = soak::peak_resident_kilobytes(gateway.pid());
    figures.records_sent = streams.total_sent() - sent_before;
    figures.viewers_connected = seen.viewers_connected;
    figures.viewers_lost = seen.viewers_lost;
    figures.viewers_refused = seen.viewers_refused;
    figures.states = seen.states;
    figures.lists = seen.lists;
    figures.undelivered = seen.undelivered;
    figures.deliveries = seen.delays_ms.size();
    figures.gateway_cpu_per_state_us = seen.states ? gateway_cpu * 1e6 / static_cast<double>(seen.states) : NAN;
    figures.p50_ms = percentile(seen.delays_ms, 0.50);
    figures.p99_ms = percentile(seen.delays_ms, 0.99);
    figures.max_ms = percentile(seen.delays_ms, 1.0);
    if (streams.failures() > 0)
        figures.failure = "the gateway closed a stream (" + std::to_string(streams.failures()) + " sends failed)";
}

void run_with_gateway(const CaseSettings &settings, soak::ServerProcess &gateway, int port, PluginStreams &streams,
                      CaseFigures &figures) {
    std::string error;
    if (!streams.accept_all(std::chrono::seconds(30), &error)) {
        figures.failure = error;
        return;
    }
    streams.start();
    if (!wait_while_running(gateway, kStreamsAloneSeconds)) {
        figures.failure = "the gateway ended before the viewers came";
        return;
    }
    figures.rss_before_viewers_kb = soak::resident_kilobytes(gateway.pid());
    ViewerPool viewers(port, settings.viewers, settings.viewer_threads, streams);
    const auto limit = std::chrono::seconds(static_cast<long long>(settings.connect_limit));
    const size_t ready = viewers.connect_all(limit);
    if (ready < settings.viewers)
        figures.failure = std::to_string(ready) + " of " + std::to_string(settings.viewers) +
                          " viewers had their first state within " + std::to_string(limit.count()) + " s";
    if (!wait_while_running(gateway, settings.warm_up)) {
        figures.failure = "the gateway ended during the warm-up";
        return;
    }
    const std::string connect_failure = figures.failure;
    measure(settings, gateway, streams, viewers, figures);
    if (figures.failure.empty())
        figures.failure = connect_failure;
}

}  // namespace

double CaseFigures::kb_per_viewer() const {
    return viewers_connected
               ? static_cast<double>(rss_kb - rss_before_viewers_kb) / static_cast<double>(viewers_connected)
               : NAN;
}

CaseFigures run_case(const CaseSettings &settings) {
    CaseFigures figures;
    char folder_template[] = "/tmp/orlex_web_bench_XXXXXX";
    const char *folder = mkdtemp(folder_template);
    if (!folder) {
        figures.failure = "cannot make a temporary folder";
        return figures;
    }
    const std::string record_dir = std::string(folder) + "/recordings";
    std::filesystem::create_directory(record_dir);
    const std::string errors = std::string(folder) + "/gateway.log";
    // At most two records a second a stream, for the whole run and its margins.
    PluginStreams streams(settings.streams, static_cast<size_t>(2 * (kStreamsAloneSeconds + settings.connect_limit +
                                                                     settings.warm_up + settings.seconds)) +
                                                64);
    boost::asio::io_context io;
    int port = 0;
    {
        soak::ServerProcess gateway(
            io, gateway_command(settings, streams, record_dir),
            [&port, &io](const std::string &line) {
                const size_t at = line.find("http://127.0.0.1:");
                if (at == std::string::npos)
                    return;
                port = std::atoi(line.c_str() + at + 17);
                io.stop();
            },
            errors);
        io.run_for(std::chrono::seconds(30));  // until the gateway says where it listens, or ends
        if (!gateway.started() || port == 0)
            figures.failure = "the gateway did not start: " + text_of(errors);
        else
            run_with_gateway(settings, gateway, port, streams, figures);
        streams.stop();
        gateway.signal(SIGTERM);
        int status = 0;
        if (!gateway.wait_for_end(60, &status) && figures.failure.empty())
            figures.failure = "the gateway did not stop within 60 s of SIGTERM";
    }
    const std::string log = text_of(errors);
    const size_t note = log.find("slow disk: ");
    if (note != std::string::npos)
        figures.slow_disk_note = log.substr(note, log.find('\n', note) - note);
    std::filesystem::remove_all(folder);
    return figures;
}

}  // namespace bench
