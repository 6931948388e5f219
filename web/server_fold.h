// The pipeline's state subscriber: each record folded into a server's state and counted.
#pragma once

#include "web/log/event_log.h"
#include "web/record_pipeline.h"
#include "web/server_state.h"

namespace web {

class ServerFold final : public RecordSubscriber {
public:
    ServerFold(const ServerAddress &address, size_t chat_lines) : state(address, chat_lines) {}
    void take(const records::Record &record, Clock::time_point arrived) override;
    // The same, for a caller without a clock (a replay's records, tests).
    void take(const records::Record &record) { take(record, Clock::time_point()); }

    // One datagram's log text from the server (secrets scrubbed); counted, and folded when it reads.
    void take_log(const std::string &text);

    ServerState state;
    LinkCounters counters;
    log::EventLog events;  // from the server's log, when it sends one
};

}  // namespace web
