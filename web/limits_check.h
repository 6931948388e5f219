// The pipeline's check of one server's records against what a genuine plug-in sends: a record over
// a limit is dropped whole and counted; what broke is logged at most once a minute per server, so a
// hostile server sending such records back to back cannot fill the log either.
#pragma once

#include <chrono>
#include <string>

#include "stream/records.h"
#include "web/server_state.h"

namespace web {

class LimitsCheck {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kLogEvery{60};

    // `server` names it in the log; counts go to `counters`.
    LimitsCheck(std::string server, LinkCounters &counters) : server_(std::move(server)), counters_(counters) {}
    // True when the record is within the limits.
    bool pass(const records::Record &record, Clock::time_point now);

private:
    std::string server_;
    LinkCounters &counters_;
    bool logged_ = false;
    Clock::time_point last_log_;
};

}  // namespace web
