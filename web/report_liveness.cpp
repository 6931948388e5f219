#include "web/report_liveness.h"

#include <algorithm>

namespace web {

void ReportLiveness::link_up(Clock::time_point now) {
    last_ = now;
    on_link_ = 0;
}

void ReportLiveness::take(const records::Record &record, Clock::time_point arrived) {
    if (record.type != "SERVER")
        return;
    if (++on_link_ >= 3)
        gaps_[gaps_seen_++ % gaps_.size()] = arrived - last_;
    last_ = arrived;
}

ReportLiveness::Clock::duration ReportLiveness::period() const {
    if (gaps_seen_ == 0)
        return kUnknownPeriod;
    const size_t known = std::min(gaps_seen_, gaps_.size());
    const Clock::duration longest = *std::max_element(gaps_.begin(), gaps_.begin() + static_cast<long>(known));
    return std::max<Clock::duration>(longest, kShortestPeriod);
}

}  // namespace web
