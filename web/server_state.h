// What the gateway shows of one served server: its name and address, its stream folded into the
// latest state (the one fold every view shares), and whether the link is up. How the link has gone
// (LinkCounters) and where a replay stands (ReplayPosition) are kept beside it by their sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "stream/view_state.h"
#include "web/config.h"

namespace web {

class ServerState {
public:
    ServerState(const ServerAddress &address, size_t chat_lines) : address_(address) { view_.chat_limit = chat_lines; }

    const ServerAddress &address() const { return address_; }
    const view::State &view() const { return view_; }
    view::State &view() { return view_; }

    bool connected = false;
    std::string problem;  // why it is not connected, for the page

private:
    ServerAddress address_;
    view::State view_;
};

// A source's counts: records taken, those skipped as malformed, and (of a live link) connections.
struct LinkCounters {
    size_t records = 0;
    size_t malformed = 0;
    size_t reconnects = 0;     // connections made after the first
    size_t overflows = 0;      // connections dropped for sending too much without a record end
    size_t over_limits = 0;    // records dropped whole for breaking a limit of what a genuine plug-in sends
    size_t log_lines = 0;      // log datagrams read into events
    size_t log_malformed = 0;  // log datagrams from the server that were not log lines
};

// Where a replay stands (times in milliseconds).
struct ReplayPosition {
    uint32_t position_ms = 0;
    uint32_t length_ms = 0;
    bool playing = false;
    double speed = 1;
    int64_t start_ms = 0;  // the recording's start, Unix time in milliseconds
};

}  // namespace web
