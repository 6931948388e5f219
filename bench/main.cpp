// orlex_bench: the benchmarks, then a table of the measures beside their targets.
//   orlex_bench [benchmark options]      measure and print the table
//   orlex_bench --count idle|players|noop N   only make N calls (for instruction counting)
//   orlex_bench --memory                 the resident memory that loading the plug-in adds
//   orlex_bench --match SECONDS          a whole match: the plug-in's share of one core
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace bench {
void count_idle_frames(long calls);
void count_player_reports(long calls);
void count_noop_calls(long calls);
void print_resident_memory_added();
void print_match_share(double game_seconds);
}  // namespace bench

namespace {

// Keeps each benchmark's CPU time per iteration while the console shows the usual report.
class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs)
            if (!run.error_occurred)
                nanoseconds[run.benchmark_name()] = run.GetAdjustedCPUTime() * to_nanoseconds(run.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nanoseconds;

private:
    static double to_nanoseconds(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kSecond:
                return 1e9;
            case benchmark::kMillisecond:
                return 1e6;
            case benchmark::kMicrosecond:
                return 1e3;
            default:
                return 1.0;
        }
    }
};

void print_table(const std::map<std::string, double> &measured) {
    struct Row {
        const char *name;
        const char *label;
        const char *target;
    };
    const Row rows[] = {
        {"IdleFrame", "idle frame (StartFrame, nothing due)", "(instructions: see below)"},
        {"Get_Players_Data (32 players)", "Get_Players_Data, 32 players", "<= 15 us"},
        {"Get_Server_Data", "Get_Server_Data", ""},
        {"Get_SG_Data (19)", "Get_SG_Data, 19 sentry guns", ""},
        {"RefreshCycle", "refresh cycle, 32 players, 10 clients", ""},
        {"RefusedConnection", "refused connection, both ends on loopback", "0 slots held"},
        {"GateRefusesAStranger", "allow-list decision for a stranger", ""},
    };
    std::printf("\n%-42s %14s   %s\n", "measure", "CPU time", "target");
    for (const Row &row : rows) {
        const auto found = measured.find(row.name);
        if (found == measured.end())
            continue;
        const double ns = found->second;
        char value[32];
        if (ns >= 1e3)
            std::snprintf(value, sizeof(value), "%.2f us", ns / 1e3);
        else
            std::snprintf(value, sizeof(value), "%.2f ns", ns);
        std::printf("%-42s %14s   %s\n", row.label, value, row.target);
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--match") == 0) {
        bench::print_match_share(std::atof(argv[2]));
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--memory") == 0) {
        bench::print_resident_memory_added();
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--count") == 0) {
        const long calls = std::atol(argv[3]);
        if (std::strcmp(argv[2], "idle") == 0)
            bench::count_idle_frames(calls);
        else if (std::strcmp(argv[2], "noop") == 0)
            bench::count_noop_calls(calls);
        else if (std::strcmp(argv[2], "players") == 0)
            bench::count_player_reports(calls);
        else
            return 2;
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    print_table(collector.nanoseconds);
    benchmark::Shutdown();
    return 0;
}
