#include "web/access/public_delay.h"

namespace web::access {

void PublicDelay::add(const std::string &server, std::shared_ptr<const std::string> detail, Clock::time_point now,
                      uint64_t last_event_seq) {
    std::deque<Rendering> &renderings = servers_[server];
    // Within kSpacing of the one before, the newest is replaced: one kept per kSpacing at most.
    const size_t count = renderings.size();
    if (count >= 2 && renderings[count - 1].time - renderings[count - 2].time < kSpacing)
        renderings.back() = {now, std::move(detail), last_event_seq};
    else
        renderings.push_back({now, std::move(detail), last_event_seq});
    prune(renderings, now);
}

const PublicDelay::Rendering *PublicDelay::shown(const std::string &server, Clock::time_point now) {
    const auto found = servers_.find(server);
    if (found == servers_.end())
        return nullptr;
    prune(found->second, now);
    const Rendering &oldest = found->second.front();
    return now - oldest.time >= delay_ ? &oldest : nullptr;
}

std::shared_ptr<const std::string> PublicDelay::at(const std::string &server, Clock::time_point now) {
    const Rendering *rendering = shown(server, now);
    return rendering ? rendering->detail : nullptr;
}

bool PublicDelay::events_until(const std::string &server, Clock::time_point now, uint64_t *seq) {
    const Rendering *rendering = shown(server, now);
    if (rendering)
        *seq = rendering->last_event_seq;
    return rendering != nullptr;
}

// Only the newest of those old enough is ever shown: the older ones go.
void PublicDelay::prune(std::deque<Rendering> &renderings, Clock::time_point now) const {
    while (renderings.size() >= 2 && now - renderings[1].time >= delay_)
        renderings.pop_front();
}

}  // namespace web::access
