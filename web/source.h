// Where a served server's state comes from: a live plug-in stream (Upstream) or a recording (Replay).
#pragma once

#include <cstdint>
#include <functional>

#include "web/server_fold.h"

namespace web {

// What a viewer may do to a source that plays something back.
class SourceControls {
public:
    static constexpr double kSlowest = 0.5;
    static constexpr double kFastest = 16;

    virtual void play(bool playing) = 0;
    // Clamped to kSlowest to kFastest.
    virtual void set_speed(double speed) = 0;
    // Moves to that time (clamped to the length); playing or paused as before.
    virtual void seek(uint32_t ms) = 0;

protected:
    ~SourceControls() = default;
};

class Source {
public:
    // Called when records were folded or the link (or a replay's position) changed.
    using Listener = std::function<void()>;

    virtual ~Source() = default;
    virtual void start() = 0;
    // Ends it for good; the listener is not called again.
    virtual void stop() = 0;
    // The state and its counters.
    virtual const ServerFold &fold() const = 0;
    const ServerState &state() const { return fold().state; }
    // The fold a live server's log goes into; null for a replay (its log lines are in the file).
    virtual ServerFold *log_fold() { return nullptr; }
    // Where a replay stands; null for a live server.
    virtual const ReplayPosition *replay() const { return nullptr; }
    // Play, pause, speed and seek; null when the source has none.
    virtual SourceControls *controls() { return nullptr; }
};

}  // namespace web
