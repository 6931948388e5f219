// What the plug-in costs a server: an idle frame and a whole refresh cycle through the built
// library, and each report builder at full load (the builders' own code, linked in).
#include <benchmark/benchmark.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstring>

#include "bench/full_server.h"
#include "events/game_hooks.h"
#include "plugin/exports.h"
#include "plugin/report_schedule.h"
#include "reports/objective_reports.h"
#include "reports/server_report.h"
#include "simhost/plugin_host.h"
#include "text/record.h"

namespace bench {

// The builders' own code, with the simulated engine behind it.
class Builders {
public:
    explicit Builders(const std::string &game) : engine_(config(game)), host_(engine_) {
        GiveFnptrsToDll(engine_.functions(), engine_.globals());
        plugin_info_t *info = nullptr;
        Meta_Query("5:13", &info, host_.utility_functions());
        META_FUNCTIONS functions{};
        Meta_Attach(PT_STARTUP, &functions, host_.meta_globals(), host_.gamedll_functions());
        GameInit();
        bench::fill_players(engine_, [](edict_t *player, const simhost::PlayerSpec &joining) {
            char reason[128] = "";
            ClientConnect(player, joining.name.c_str(), joining.address.c_str(), reason);
        });
        bench::fill_objectives(engine_);
    }

private:
    static simhost::EngineConfig config(const std::string &game) {
        simhost::EngineConfig result;
        result.game_dir = game;
        return result;
    }
    simhost::Engine engine_;
    simhost::PluginHost host_;
};

}  // namespace bench

namespace {

using bench::Builders;

// The built library with ten clients, between due tasks: the clock stands still, so nothing falls
// due and each call is the frame loop's bare cost.
void IdleFrame(benchmark::State &state) {
    bench::LoadedServer loaded("valve");
    simhost::GameServer &server = *loaded.server;
    server.run_for(1.0);
    void (*start_frame)() = server.host().dll_hooks().pfnStartFrame;
    for (auto _ : state)
        start_frame();
}
BENCHMARK(IdleFrame);

// Six frames of one report cycle, with 32 players and ten clients reading on loopback: the other
// timers are set far apart, so the cycle is what is measured.
void RefreshCycle(benchmark::State &state) {
    bench::LoadedServer loaded("cstrike");
    simhost::GameServer &server = *loaded.server;
    bench::fill_players(server);
    for (const char *timer : {"orlex_timer_server", "orlex_timer_conncheck", "orlex_timer_query"})
        server.engine().cvars().set(timer, "100000");
    server.engine().cvars().set("orlex_timer_refresh", "0");
    server.run_for(3.0);
    for (auto _ : state)
        for (int frame = 0; frame < 6; ++frame)
            server.run_frame();
    state.counters["bytes_per_cycle"] = benchmark::Counter(static_cast<double>(loaded.readers->bytes()) /
                                                           static_cast<double>(state.iterations() + 500));
}
BENCHMARK(RefreshCycle)->Unit(benchmark::kMicrosecond);

template <void (*Build)(char *)>
void Builder(benchmark::State &state) {
    Builders builders("cstrike");
    char buffer[REPORT_BUFFER_SIZE];
    for (auto _ : state) {
        Build(buffer);
        benchmark::DoNotOptimize(buffer);
    }
    state.counters["bytes"] = static_cast<double>(strlen(buffer));
}
BENCHMARK_TEMPLATE(Builder, Get_Players_Data)->Name("Get_Players_Data (32 players)");
BENCHMARK_TEMPLATE(Builder, Get_Server_Data)->Name("Get_Server_Data");
BENCHMARK_TEMPLATE(Builder, Get_Flag_Data)->Name("Get_Flag_Data (8)");
BENCHMARK_TEMPLATE(Builder, Get_DODCAP_Data)->Name("Get_DODCAP_Data (8)");
BENCHMARK_TEMPLATE(Builder, Get_Hostage_Data)->Name("Get_Hostage_Data (8)");
BENCHMARK_TEMPLATE(Builder, Get_CSBOMB_Data)->Name("Get_CSBOMB_Data (8)");
BENCHMARK_TEMPLATE(Builder, Get_SG_Data)->Name("Get_SG_Data (19)");
BENCHMARK_TEMPLATE(Builder, Get_Teleporter_Data)->Name("Get_Teleporter_Data (19)");
BENCHMARK_TEMPLATE(Builder, Get_Dispenser_Data)->Name("Get_Dispenser_Data (19)");
BENCHMARK_TEMPLATE(Builder, Get_NSPHIVE_Data)->Name("Get_NSPHIVE_Data (8)");
BENCHMARK_TEMPLATE(Builder, Get_NSPRESOURCE_Data)->Name("Get_NSPRESOURCE_Data (11)");
BENCHMARK_TEMPLATE(Builder, Get_NSPCOMMAND_Data)->Name("Get_NSPCOMMAND_Data (8)");

}  // namespace

namespace bench {

// Fixed numbers of calls for instruction counting, without the timing machinery.
// Instructions are collected only around the measured calls (callgrind --collect-atstart=no).
void count_idle_frames(long calls) {
    LoadedServer loaded("valve");
    loaded.server->run_for(1.0);
    void (*start_frame)() = loaded.server->host().dll_hooks().pfnStartFrame;
    CALLGRIND_TOGGLE_COLLECT;
    for (long i = 0; i < calls; ++i)
        start_frame();
    CALLGRIND_TOGGLE_COLLECT;
}

static long resident_kilobytes() {
    std::FILE *status = std::fopen("/proc/self/status", "r");
    char line[256];
    long kilobytes = 0;
    while (status && std::fgets(line, sizeof(line), status))
        if (std::sscanf(line, "VmRSS: %ld kB", &kilobytes) == 1)
            break;
    if (status)
        std::fclose(status);
    return kilobytes;
}

// Loaded, attached, listening and through a first report cycle with ten clients.
void print_resident_memory_added() {
    const int port = testing_support::free_port();
    simhost::ServerOptions options;
    options.settings = {{"orlex_mm_port", std::to_string(port)}};
    simhost::GameServer server(options);
    const long before = resident_kilobytes();
    std::string error;
    if (!server.start(ORLEX_PLUGIN_PATH, &error))
        return;
    server.run_for(5.5);
    ReadingClients readers(port, 10);
    server.run_for(6.0);
    std::printf("resident memory added by loading and running the plug-in: %ld kB\n", resident_kilobytes() - before);
}

// The loop and call around a hook that does nothing: taken off the counts above.
static void nothing() {}
void count_noop_calls(long calls) {
    void (*volatile hook)() = nothing;
    void (*call)() = hook;
    CALLGRIND_TOGGLE_COLLECT;
    for (long i = 0; i < calls; ++i)
        call();
    CALLGRIND_TOGGLE_COLLECT;
}

void count_player_reports(long calls) {
    Builders builders("cstrike");
    char buffer[REPORT_BUFFER_SIZE];
    CALLGRIND_TOGGLE_COLLECT;
    for (long i = 0; i < calls; ++i)
        Get_Players_Data(buffer);
    CALLGRIND_TOGGLE_COLLECT;
}

}  // namespace bench
