#include "simhost/server_log.h"

#include <cstdio>
#include <ctime>

namespace simhost {

void ServerLog::write(const std::string &text) {
    entries_.push_back(text);
    if (!echo_)
        return;
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof(stamp), "L %m/%d/%Y - %H:%M:%S: ", std::localtime(&now));
    std::fputs(stamp, stdout);
    std::fputs(text.c_str(), stdout);
    if (text.empty() || text.back() != '\n')
        std::fputc('\n', stdout);
    std::fflush(stdout);
}

int ServerLog::count(const std::string &fragment) const {
    int found = 0;
    for (const std::string &entry : entries_)
        if (entry.find(fragment) != std::string::npos)
            ++found;
    return found;
}

}  // namespace simhost
