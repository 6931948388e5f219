// Whether a server's report cycle still runs: its SERVER record comes once a period, whatever
// else (chat) it sends. The period is the longest of the last few gaps between two SERVER records
// of a link (the first of a link answers the gateway's GET_SERVER, so it starts no gap), at least
// kShortestPeriod; kUnknownPeriod until a gap is known. kPeriods of it without one is stale.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>

#include "web/record_pipeline.h"

namespace web {

class ReportLiveness final : public RecordSubscriber {
public:
    static constexpr std::chrono::seconds kUnknownPeriod{60};
    static constexpr std::chrono::seconds kShortestPeriod{1};
    static constexpr int kPeriods = 3;

    // A new link: the time counts from it until its first SERVER record.
    void link_up(Clock::time_point now);
    void take(const records::Record &record, Clock::time_point arrived) override;
    Clock::duration period() const;
    // When the server is stale if no SERVER record comes before.
    Clock::time_point stale_at() const { return last_ + kPeriods * period(); }

private:
    Clock::time_point last_;
    size_t on_link_ = 0;  // SERVER records of this link
    std::array<Clock::duration, 4> gaps_{};
    size_t gaps_seen_ = 0;
};

}  // namespace web
