#include "web/backoff.h"

#include <algorithm>

namespace web {

std::chrono::seconds Backoff::next() {
    const std::chrono::seconds wait = next_;
    next_ = std::min(next_ * 2, longest);
    return wait;
}

}  // namespace web
