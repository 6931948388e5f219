#include "simhost/server_log.h"

#include <cstdio>

namespace simhost {

std::string log_timestamp(std::time_t when) {
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "L %m/%d/%Y - %H:%M:%S: ", std::localtime(&when));
    return stamp;
}

namespace {

void echo_entry(const std::string &text) {
    std::fputs(log_timestamp(std::time(nullptr)).c_str(), stdout);
    std::fputs(text.c_str(), stdout);
    if (text.empty() || text.back() != '\n')
        std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

void ServerLog::write(const std::string &text) {
    entries_.push(text);
    if (forward_)
        forward_(text);
    if (echo_)
        echo_entry(text);
}

void ServerLog::start_echo() {
    if (echo_)
        return;
    for (const std::string &entry : entries_.lines())
        echo_entry(entry);
    echo_ = true;
}

}  // namespace simhost
