// The worst record a genuine plug-in can send, as a reader takes it: cut out of the stream, checked
// against the limits, folded into the state, and (the gateway's part) the state rendered to its
// JSON. Target: under 5 ms a record; records over the limits are dropped before any of this.
#include <benchmark/benchmark.h>

#include "client/sample_records.h"
#include "stream/record_limits.h"
#include "stream/view_state.h"
#include "support/hostile_records.h"
#include "web/server_fold.h"
#include "web/state_json.h"

namespace {

// 19 sentries (the largest objective table) with 32 keys of six-character cells: 4427 bytes.
std::string worst_objective() { return hostile::table_record("SENTRY", 19, records::kMostKeys, "1.0000"); }

// 32 players with 32 keys of three-character cells: within the bytes.
std::string worst_players() {
    return hostile::table_record("PLAYER", records::kMostPlayers, records::kMostKeys, "1.5");
}

void StreamFold(benchmark::State &state, const std::string &record) {
    view::Feed feed;
    for (auto _ : state)
        benchmark::DoNotOptimize(feed.add(record));
    if (feed.over_limits() != 0)
        state.SkipWithError("the record is over the limits");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * record.size()));
}

void GatewayFoldAndState(benchmark::State &state, const std::string &record) {
    web::ServerFold fold({"bench", "127.0.0.1", 27028}, 10);
    records::Record parsed;
    records::parse_record(samples::server(), &parsed);
    fold.take(parsed);
    for (auto _ : state) {
        records::parse_record(record, &parsed);
        if (records::excess(parsed) == records::Excess::none)
            fold.take(parsed);
        benchmark::DoNotOptimize(web::state_message(fold));
    }
}

}  // namespace

BENCHMARK_CAPTURE(StreamFold, worst_objective, worst_objective())
    ->Name("fold, 19 sentries x 32 keys (stream)")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StreamFold, worst_players, worst_players())
    ->Name("fold, 32 players x 32 keys (stream)")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(GatewayFoldAndState, worst_objective, worst_objective())
    ->Name("fold + state JSON, 19 sentries x 32 keys (gateway)")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(GatewayFoldAndState, worst_players, worst_players())
    ->Name("fold + state JSON, 32 players x 32 keys (gateway)")
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
