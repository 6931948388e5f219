// Where a served server's state comes from: a live plug-in stream (Upstream) or a recording (Replay).
#pragma once

#include <functional>

#include "web/server_state.h"

namespace web {

class Source {
public:
    // Called when records were folded or the link (or a replay's position) changed.
    using Listener = std::function<void()>;

    virtual ~Source() = default;
    virtual void start() = 0;
    // Ends it for good; the listener is not called again.
    virtual void stop() = 0;
    virtual const ServerState &state() const = 0;
};

}  // namespace web
