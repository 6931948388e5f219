#include "simhost/recent_lines.h"

namespace simhost {

void RecentLines::push(const std::string &line) {
    ++total_;
    if (capacity_ == 0)
        return;
    if (lines_.size() == capacity_)
        lines_.pop_front();
    lines_.push_back(line);
}

int RecentLines::count(const std::string &fragment) const {
    int found = 0;
    for (const std::string &line : lines_)
        if (line.find(fragment) != std::string::npos)
            ++found;
    return found;
}

}  // namespace simhost
