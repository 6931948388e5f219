#include "web/replay_timeline.h"

#include <algorithm>

namespace web {

ServerFold replay_start_state(const ServerAddress &address, size_t chat_lines) {
    ServerFold state(address, chat_lines);
    state.state.connected = true;
    return state;
}

ReplayTimeline::ReplayTimeline(recording::Recording recorded, const ServerFold &blank)
    : recorded_(std::move(recorded)) {
    ServerFold state = blank;
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

ServerFold ReplayTimeline::state_after(size_t count) const {
    count = std::min(count, size());
    ServerFold state = snapshots_[count / kSnapshotEvery];
    for (size_t index = count / kSnapshotEvery * kSnapshotEvery; index < count; ++index)
        fold(state, index);
    return state;
}

// Each entry is one whole record, as it came off the connection, or one datagram of the server's
// log, read into events as the live view read it.
void ReplayTimeline::fold(ServerFold &state, size_t index) const {
    if (recorded_.is_log_line(index))
        return state.take_log(std::string(recorded_.record(index)));
    records::Record record;
    records::parse_record(std::string(recorded_.record(index)), &record);  // a malformed one counts as such
    state.take_at(record, recorded_.header.start_ms + recorded_.entries[index].arrival_ms);
}

}  // namespace web
