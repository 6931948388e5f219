// Recordings: what recording a 32-player cstrike match at the default refresh costs per minute
// (bytes, CPU), how long a seek takes in an hour's recording, and the gateway's CPU share while it
// replays 10 files at 16x.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench/match_records.h"
#include "recording/reader.h"
#include "web/recording_files.h"
#include "web/replay_timeline.h"
#include "web/state_json.h"

namespace {

using Clock = std::chrono::steady_clock;

double cpu_now(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

double process_cpu_seconds(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    size_t start = stat.rfind(')') + 2;
    std::vector<std::string> fields;
    for (size_t space; (space = stat.find(' ', start)) != std::string::npos; start = space + 1)
        fields.push_back(stat.substr(start, space - start));
    return fields.size() > 12 ? (std::stod(fields[11]) + std::stod(fields[12])) / sysconf(_SC_CLK_TCK) : 0;
}

// `minutes` of the match, recorded as the gateway's recorder thread does (the records cut as its
// pipeline cuts them): the path of the one file written.
std::string record_match(const std::string &directory, int minutes, double *cpu_seconds) {
    web::RecordingFiles recorder(directory, uint64_t(1) << 40);
    std::string error;
    if (!recorder.prepare(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    Match match;
    const Clock::time_point start = Clock::now();
    const double cpu_before = cpu_now(CLOCK_THREAD_CPUTIME_ID);
    std::string path;
    for (int tenth = 0; tenth < minutes * 600; ++tenth) {  // the stream's clock, in tenths of a second
        std::string bytes;
        if (tenth % 20 == 0)
            bytes += samples::server("de_dust");
        if (tenth % 50 == 25)
            bytes += match.players() + match.bomb() + match.hostages();
        if (tenth % 60 == 7)
            bytes += samples::say("Player" + std::to_string(tenth % 32) + ": rotate B");
        records::RecordStream split;
        split.feed(bytes);
        records::Record record;
        while (split.next_any(&record))
            recorder.add("bench", "127.0.0.1:40015", web::RecordText::of(record),
                         start + std::chrono::milliseconds(100 * tenth));
        if (path.empty())
            path = recorder.current_file("bench");
    }
    recorder.forget("bench");
    *cpu_seconds = cpu_now(CLOCK_THREAD_CPUTIME_ID) - cpu_before;
    return path;
}

void recording_cost(const std::string &directory) {
    const int minutes = 10;
    double cpu = 0;
    const std::string path = record_match(directory, minutes, &cpu);
    recording::Recording recorded;
    std::string error;
    recording::read_recording(path, &recorded, &error);
    std::printf("recording a 32-player cstrike match at the default refresh (%d minutes, %zu records):\n", minutes,
                recorded.entries.size());
    std::printf("  %.0f bytes per minute (target <= 1048576), %.2f ms CPU per minute (one sync a second)\n",
                recorded.data.size() / double(minutes), 1000 * cpu / minutes);
}

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(share * values.size()))];
}

void seek_latency(const std::string &directory) {
    double cpu = 0;
    const std::string path = record_match(directory, 60, &cpu);
    recording::Recording recorded;
    std::string error;
    const Clock::time_point load_start = Clock::now();
    if (!recording::read_recording(path, &recorded, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    const size_t size = recorded.data.size(), records = recorded.entries.size();
    const web::ReplayTimeline timeline(std::move(recorded), web::ServerFold({"bench", "127.0.0.1", 40015}, 50));
    const double load_ms = std::chrono::duration<double, std::milli>(Clock::now() - load_start).count();
    std::mt19937 random(3);
    std::vector<double> seeks;
    for (int seek = 0; seek < 300; ++seek) {
        const uint32_t ms = random() % (timeline.length_ms() + 1);
        const Clock::time_point start = Clock::now();
        const web::ServerFold state = timeline.state_after(timeline.records_until(ms));
        const std::string pushed = web::state_message(state);  // what the page is sent
        seeks.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("seek in a one-hour recording (%zu bytes, %zu records; loaded with its snapshots in %.0f ms):\n", size,
                records, load_ms);
    std::printf("  state rebuilt and rendered: p50 %.2f ms, p99 %.2f ms, max %.2f ms (target <= 200 ms)\n",
                percentile(seeks, 0.5), percentile(seeks, 0.99), percentile(seeks, 1.0));
}

void replays_at_16x(const std::string &directory, const std::string &web) {
    double cpu = 0;
    std::vector<std::string> files;
    for (int file = 0; file < 10; ++file) {
        const std::string sub = directory + "/replay" + std::to_string(file);
        files.push_back(record_match(sub, 10, &cpu));
    }
    std::fflush(stdout);  // or the child would write what is buffered a second time
    const pid_t gateway = fork();
    if (gateway == 0) {
        std::vector<std::string> arguments = {web, "--listen", "127.0.0.1:0", "--replay-speed", "16", "--replay"};
        arguments.insert(arguments.end(), files.begin(), files.end());
        std::vector<char *> argv;
        for (std::string &argument : arguments)
            argv.push_back(&argument[0]);
        argv.push_back(nullptr);
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        execv(web.c_str(), argv.data());
        _exit(127);
    }
    const double seconds = 20;
    sleep(2);  // loaded, playing
    const double before = process_cpu_seconds(gateway);
    const Clock::time_point start = Clock::now();
    usleep(static_cast<useconds_t>(seconds * 1e6));
    const double used = process_cpu_seconds(gateway) - before;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    kill(gateway, SIGTERM);
    waitpid(gateway, nullptr, 0);
    std::printf("10 ten-minute recordings replayed at 16x by orlex_web, for %.0f s: %.2f%% of one core\n", elapsed,
                100 * used / elapsed);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: orlex_recording_bench PATH_OF_ORLEX_WEB\n");
        return 2;
    }
    char pattern[] = "/tmp/orlex_recording_bench_XXXXXX";
    const std::string directory = mkdtemp(pattern) ? pattern : "";
    if (directory.empty())
        return 1;
    recording_cost(directory + "/cost");
    seek_latency(directory + "/hour");
    replays_at_16x(directory, argv[1]);
    std::system(("rm -rf " + directory).c_str());
    return 0;
}
