// The latest lines of a text the server keeps writing for as long as it runs (its log, the
// commands handed to its console): older lines drop out, so that a server left running for weeks
// holds a fixed amount however much it writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace simhost {

class RecentLines {
public:
    explicit RecentLines(size_t capacity) : capacity_(capacity) {}

    void push(const std::string &line);
    // The lines kept, oldest first.
    std::vector<std::string> lines() const { return {lines_.begin(), lines_.end()}; }
    const std::string &back() const { return lines_.back(); }
    size_t size() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }
    // Lines ever pushed, the dropped ones included.
    std::uint64_t total() const { return total_; }
    // Lines kept that contain the fragment.
    int count(const std::string &fragment) const;

private:
    std::deque<std::string> lines_;
    size_t capacity_;
    std::uint64_t total_ = 0;
};

}  // namespace simhost
