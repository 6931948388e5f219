// A recording as states in time: the state the gateway held after any point of it (its log's events
// included), built by the same fold as the live view from the start of the file or from the nearest
// snapshot before the point (one every kSnapshotEvery entries), so that a seek in an hour's
// recording takes milliseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recording/reader.h"
#include "web/server_fold.h"

namespace web {

// What a replay starts from: connected, nothing folded yet.
ServerFold replay_start_state(const ServerAddress &address, size_t chat_lines);

class ReplayTimeline {
public:
    static constexpr size_t kSnapshotEvery = 256;

    // Folds the whole recording once, keeping the snapshots. `blank` is the state before any record.
    ReplayTimeline(recording::Recording recorded, const ServerFold &blank);

    const recording::Recording &recording() const { return recorded_; }
    uint32_t length_ms() const { return recorded_.length_ms(); }
    size_t size() const { return recorded_.entries.size(); }
    uint32_t arrival_ms(size_t index) const { return recorded_.entries[index].arrival_ms; }

    // The number of entries (records and log lines) that had arrived at that time (those at it
    // included).
    size_t records_until(uint32_t ms) const;
    // The state after the first `count` entries, from the snapshot before them.
    ServerFold state_after(size_t count) const;
    // Folds entry `index` into a state.
    void fold(ServerFold &state, size_t index) const;

private:
    recording::Recording recorded_;
    std::vector<ServerFold> snapshots_;  // snapshots_[k]: after k * kSnapshotEvery records
};

}  // namespace web
