#include "web/viewer_hub.h"

namespace web {

std::vector<std::shared_ptr<Viewer>> ViewerHub::snapshot() const {
    std::vector<std::shared_ptr<Viewer>> alive;
    alive.reserve(viewers_.size());
    for (const auto &entry : viewers_)
        if (std::shared_ptr<Viewer> viewer = entry.second.lock())
            alive.push_back(std::move(viewer));
    return alive;
}

}  // namespace web
