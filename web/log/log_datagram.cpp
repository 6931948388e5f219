#include "web/log/log_datagram.h"

#include <string_view>

namespace web::log {

bool log_datagram_text(const char *data, size_t size, std::string *text) {
    if (size < 5 || size > kLongestLogDatagram)
        return false;
    std::string_view datagram(data, size);
    if (datagram.substr(0, 4) != "\xFF\xFF\xFF\xFF")
        return false;
    datagram.remove_prefix(4);
    if (datagram.substr(0, 4) == "log ") {
        datagram.remove_prefix(4);
    } else if (datagram.front() == 'S') {
        // The secret runs up to the line's "L "; which secret was sent is not checked here (the
        // source address is), and it is never kept.
        const size_t stamp = datagram.find("L ", 1);
        if (stamp == std::string_view::npos)
            return false;
        datagram.remove_prefix(stamp);
    } else {
        return false;
    }
    if (!datagram.empty() && datagram.back() == '\0')
        datagram.remove_suffix(1);
    if (!datagram.empty() && datagram.back() == '\n')
        datagram.remove_suffix(1);
    if (datagram.substr(0, 2) != "L " || datagram.find('\0') != std::string_view::npos)
        return false;
    text->assign(datagram);
    return true;
}

}  // namespace web::log
