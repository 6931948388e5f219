// What a refused connection costs: the whole round on loopback (a stranger connects, the
// connection check accepts and refuses it, the stranger closes), and the gate's decision alone.
#include <benchmark/benchmark.h>

#include "host/cvars.h"
#include "net/admission.h"
#include "net/tcp_server.h"
#include "plugin/access_settings.h"
#include "plugin/exports.h"
#include "simhost/engine.h"
#include "simhost/plugin_host.h"
#include "support/sockets.h"

namespace {

// The plug-in's code linked in, attached to a simulated engine, with the allow-list set.
class Gatekeeper {
public:
    explicit Gatekeeper(const char *allow) : engine_(simhost::EngineConfig()), host_(engine_) {
        GiveFnptrsToDll(engine_.functions(), engine_.globals());
        plugin_info_t *info = nullptr;
        Meta_Query("5:13", &info, host_.utility_functions());
        META_FUNCTIONS functions{};
        Meta_Attach(PT_STARTUP, &functions, host_.meta_globals(), host_.gamedll_functions());
        engine_.cvars().set("orlex_mm_allow", allow);
        engine_.set_time(10.0);
        read_access_settings();
    }

private:
    simhost::Engine engine_;
    simhost::PluginHost host_;
};

void RefusedConnection(benchmark::State &state) {
    Gatekeeper gate("127.0.0.1");
    set_portpool(10);
    cvar_set_whole(orlex_port_avail, portpool);
    const int port = testing_support::free_port();
    if (tcp_serv.init(port, "127.0.0.1") != 0) {
        state.SkipWithError("no listener");
        return;
    }
    for (auto _ : state) {
        const int stranger = testing_support::connect_without_waiting(port, "127.0.0.2");
        tcp_serv.update_connections();
        testing_support::close_descriptor(stranger);
    }
    state.counters["slots_taken"] = portpool - cvar_whole(orlex_port_avail);
    tcp_serv.stoplistening();
}
BENCHMARK(RefusedConnection)->Unit(benchmark::kMicrosecond);

void GateRefusesAStranger(benchmark::State &state) {
    Gatekeeper gate("127.0.0.1, 10.0.0.0/8, 192.0.2.0/24");
    uint32_t stranger = 0xCB007100u;  // 203.0.113.0 onwards
    for (auto _ : state)
        benchmark::DoNotOptimize(admission.admit(stranger++ & 0xCB0071FFu, 10.0));
}
BENCHMARK(GateRefusesAStranger);

}  // namespace
