// The server's log: every line the engine is asked to log, kept for inspection, optionally
// echoed to standard output with the timestamp a real server writes, and handed on to whoever
// forwards it (the UDP log relay).
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace simhost {

// "L MM/DD/YYYY - HH:MM:SS: " in local time, as a server stamps its log lines.
std::string log_timestamp(std::time_t when);

class ServerLog {
public:
    using Forward = std::function<void(const std::string &text)>;

    // A text exactly as it was logged (normally one line ending in "\n").
    void write(const std::string &text);

    const std::vector<std::string> &entries() const { return entries_; }
    // Number of entries that contain the fragment.
    int count(const std::string &fragment) const;
    bool contains(const std::string &fragment) const { return count(fragment) > 0; }

    void set_echo(bool echo) { echo_ = echo; }
    void set_forward(Forward forward) { forward_ = std::move(forward); }

private:
    std::vector<std::string> entries_;
    bool echo_ = false;
    Forward forward_;
};

}  // namespace simhost
