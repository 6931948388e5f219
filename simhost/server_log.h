// The server's log: every line the engine is asked to log, kept for inspection and optionally
// echoed to standard output with the timestamp a real server writes.
#pragma once

#include <string>
#include <vector>

namespace simhost {

class ServerLog {
public:
    // A text exactly as it was logged (normally one line ending in "\n").
    void write(const std::string &text);

    const std::vector<std::string> &entries() const { return entries_; }
    // Number of entries that contain the fragment.
    int count(const std::string &fragment) const;
    bool contains(const std::string &fragment) const { return count(fragment) > 0; }

    void set_echo(bool echo) { echo_ = echo; }

private:
    std::vector<std::string> entries_;
    bool echo_ = false;
};

}  // namespace simhost
