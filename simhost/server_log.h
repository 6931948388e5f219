// The server's log: the latest lines the engine was asked to log, kept for inspection, optionally
// echoed to standard output with the timestamp a real server writes, and handed on to whoever
// forwards it (the UDP log relay).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "simhost/recent_lines.h"

namespace simhost {

// "L MM/DD/YYYY - HH:MM:SS: " in local time, as a server stamps its log lines.
std::string log_timestamp(std::time_t when);

class ServerLog {
public:
    using Forward = std::function<void(const std::string &text)>;

    // A text exactly as it was logged (normally one line ending in "\n").
    void write(const std::string &text);

    // The latest entries, oldest first: at most KEPT_ENTRIES, far more than any check looks back.
    std::vector<std::string> entries() const { return entries_.lines(); }
    // Entries ever written, the dropped ones included.
    std::uint64_t written() const { return entries_.total(); }
    // Number of the latest entries that contain the fragment.
    int count(const std::string &fragment) const { return entries_.count(fragment); }
    bool contains(const std::string &fragment) const { return count(fragment) > 0; }

    void set_echo(bool echo) { echo_ = echo; }
    // Echoes the kept entries, then every later one: a program's own first line can come before what
    // was logged while it started.
    void start_echo();
    void set_forward(Forward forward) { forward_ = std::move(forward); }

    static constexpr size_t KEPT_ENTRIES = 1024;

private:
    RecentLines entries_{KEPT_ENTRIES};
    bool echo_ = false;
    Forward forward_;
};

}  // namespace simhost
