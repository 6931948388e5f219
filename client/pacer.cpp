#include "client/pacer.h"

namespace client {

bool Pacer::due(Clock::time_point now, const std::set<std::string> &seen_kinds, Command *command) {
    while (!queue_.empty() && !queue_.front().unless_seen.empty() && seen_kinds.count(queue_.front().unless_seen))
        queue_.pop_front();
    if (queue_.empty() || (sent_any_ && now < last_sent_ + spacing_))
        return false;
    *command = queue_.front();
    queue_.pop_front();
    sent_any_ = true;
    last_sent_ = now;
    return true;
}

}  // namespace client
