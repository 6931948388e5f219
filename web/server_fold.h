// The pipeline's state subscriber: each record folded into a server's state and counted.
#pragma once

#include "web/record_pipeline.h"
#include "web/server_state.h"

namespace web {

class ServerFold final : public RecordSubscriber {
public:
    ServerFold(const ServerAddress &address, size_t chat_lines) : state(address, chat_lines) {}
    void take(const records::Record &record, Clock::time_point arrived) override;
    // The same, for a caller without a clock (a replay's records, tests).
    void take(const records::Record &record) { take(record, Clock::time_point()); }

    ServerState state;
    LinkCounters counters;
};

}  // namespace web
