#include "web/replay_timeline.h"

#include <algorithm>

namespace web {

ReplayTimeline::ReplayTimeline(recording::Recording recorded, const ServerState &blank)
    : recorded_(std::move(recorded)) {
    ServerState state = blank;
    snapshots_.push_back(state);
    for (size_t index = 0; index < size(); ++index) {
        fold(state, index);
        if ((index + 1) % kSnapshotEvery == 0)
            snapshots_.push_back(state);
    }
}

size_t ReplayTimeline::records_until(uint32_t ms) const {
    const auto &entries = recorded_.entries;
    return static_cast<size_t>(
        std::upper_bound(entries.begin(), entries.end(), ms,
                         [](uint32_t time, const recording::Entry &entry) { return time < entry.arrival_ms; }) -
        entries.begin());
}

ServerState ReplayTimeline::state_after(size_t count) const {
    count = std::min(count, size());
    ServerState state = snapshots_[count / kSnapshotEvery];
    for (size_t index = count / kSnapshotEvery * kSnapshotEvery; index < count; ++index)
        fold(state, index);
    return state;
}

// Each entry is one whole record, as it came off the connection.
void ReplayTimeline::fold(ServerState &state, size_t index) const {
    const std::string_view record = recorded_.record(index);
    state.add(record.data(), record.size());
}

}  // namespace web
