// The viewers: M WebSocket clients of the gateway, each watching one server (viewer i watches
// server i mod N), spread over threads of their own, each thread with its own event loop. A viewer
// stamps every message as it completes; a state for server sN saying "records": R delivers every
// record of sN up to R it had not yet seen, each with the delay from when the generator sent it.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/plugin_streams.h"

namespace bench {

struct ViewerFigures {
    std::vector<double> delays_ms;  // one a record delivered to a viewer while measuring
    uint64_t states = 0, lists = 0, bytes = 0;
    // Records sent long enough before the end (more than a second) that no state had delivered:
    // each counted among the delays with its age at the end, a bound below its real delay.
    uint64_t undelivered = 0;
    // Viewers that had their first state; lost after it (cut off); ended before it (refused).
    size_t viewers_connected = 0, viewers_lost = 0, viewers_refused = 0;
};

class ViewerPool {
public:
    ViewerPool(int gateway_port, size_t viewers, size_t threads, const PluginStreams &streams);
    ~ViewerPool();
    ViewerPool(const ViewerPool &) = delete;
    ViewerPool &operator=(const ViewerPool &) = delete;

    // Connects every viewer (a few at a time on each thread) and has each ask for its server; waits
    // until every one has had its first state, at most the time given. The number that did.
    size_t connect_all(std::chrono::seconds limit);
    void start_measuring() { measuring_ = true; }
    // Stops measuring and gathers the figures from every thread.
    ViewerFigures stop_measuring();
    // Cpu time of the viewers' threads so far, in seconds.
    double cpu_seconds() const;

private:
    class Session;
    struct Lane;
    std::vector<std::unique_ptr<Lane>> lanes_;
    const PluginStreams &streams_;
    std::atomic<bool> measuring_{false};
};

}  // namespace bench
