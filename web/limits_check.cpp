#include "web/limits_check.h"

#include <cstdio>

#include "stream/record_limits.h"

namespace web {

bool LimitsCheck::pass(const records::Record &record, Clock::time_point now) {
    const records::Excess excess = records::excess(record);
    if (excess == records::Excess::none)
        return true;
    ++counters_.over_limits;
    if (!logged_ || now - last_log_ >= kLogEvery) {
        logged_ = true;
        last_log_ = now;
        std::fprintf(stderr, "orlex_web: %s sends records over the limits (%s); dropped, %zu so far\n", server_.c_str(),
                     records::describe(excess, record).c_str(), counters_.over_limits);
    }
    return false;
}

}  // namespace web
