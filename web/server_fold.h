// The pipeline's state subscriber: each record folded into a server's state and counted.
#pragma once

#include <cstdint>

#include "web/log/event_log.h"
#include "web/record_pipeline.h"
#include "web/server_state.h"

namespace web {

class ServerFold final : public RecordSubscriber {
public:
    ServerFold(const ServerAddress &address, size_t chat_lines) : state(address, chat_lines) {}
    // A live record: arrived now.
    void take(const records::Record &record, Clock::time_point arrived) override;
    // A record that arrived at wall_ms (Unix time, milliseconds; 0: not known), as a replay's.
    void take_at(const records::Record &record, std::int64_t wall_ms);
    // A record without a time (tests).
    void take(const records::Record &record) { take_at(record, 0); }

    // One datagram's log text from the server (secrets scrubbed); counted, and folded when it reads.
    void take_log(const std::string &text);

    ServerState state;
    LinkCounters counters;
    log::EventLog events;  // from the server's log, when it sends one
};

}  // namespace web
