// Where a served server's state comes from: a live plug-in stream (Upstream) or a recording (Replay).
#pragma once

#include <functional>

#include "web/server_state.h"

namespace web {

class Source {
public:
    enum class Change { records, link };
    using Listener = std::function<void(Change)>;

    virtual ~Source() = default;
    virtual void start() = 0;
    // Ends it for good; the listener is not called again.
    virtual void stop() = 0;
    virtual const ServerState &state() const = 0;
};

}  // namespace web
