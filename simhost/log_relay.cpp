#include "simhost/log_relay.h"

#include <algorithm>
#include <cstdio>

#include "simhost/server_log.h"

namespace simhost {

static bool parse_number(const std::string &text, unsigned limit, unsigned *number) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *number = static_cast<unsigned>(std::stoul(text));
    return *number <= limit;
}

static bool parse_ipv4(const std::string &text, std::uint32_t *ipv4) {
    std::uint32_t value = 0;
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t end = part < 3 ? text.find('.', start) : text.size();
        unsigned number = 0;
        if (end == std::string::npos || !parse_number(text.substr(start, end - start), 255, &number))
            return false;
        value = (value << 8) | number;
        start = end + 1;
    }
    *ipv4 = value;
    return true;
}

bool parse_log_address(const std::vector<std::string> &words, LogAddress *address) {
    std::string ip = words.empty() ? std::string() : words[0];
    std::string port = words.size() > 1 ? words[1] : std::string();
    const size_t colon = ip.find(':');
    if (words.size() == 1 && colon != std::string::npos) {
        port = ip.substr(colon + 1);
        ip.resize(colon);
    }
    unsigned number = 0;
    if (words.size() > 2 || !parse_ipv4(ip, &address->ipv4) || !parse_number(port, 65535, &number) || number == 0)
        return false;
    address->port = static_cast<int>(number);
    return true;
}

std::string log_datagram(const std::string &line, std::time_t when) {
    std::string text = line;
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    std::string datagram(4, '\xFF');
    datagram += "log " + log_timestamp(when) + text + "\n";
    datagram += '\0';
    return datagram;
}

bool LogRelay::execute(const std::vector<std::string> &command) {
    const std::string name = command.empty() ? std::string() : command[0];
    if (name == "logaddress_delall") {
        addresses_.clear();
        return true;
    }
    if (name != "logaddress" && name != "logaddress_add" && name != "logaddress_del")
        return false;
    LogAddress address;
    if (!parse_log_address({command.begin() + 1, command.end()}, &address)) {
        std::fprintf(stderr, "simhost: %s: bad address\n", name.c_str());
        return true;
    }
    if (name == "logaddress_del")
        remove(address);
    else if (name == "logaddress")
        addresses_.assign(1, address);
    else
        add(address);
    return true;
}

void LogRelay::add(const LogAddress &address) {
    if (std::find(addresses_.begin(), addresses_.end(), address) == addresses_.end())
        addresses_.push_back(address);
}

void LogRelay::remove(const LogAddress &address) {
    addresses_.erase(std::remove(addresses_.begin(), addresses_.end(), address), addresses_.end());
}

void LogRelay::send(const std::string &line) {
    if (addresses_.empty())
        return;
    const std::string datagram = log_datagram(line, std::time(nullptr));
    for (const LogAddress &address : addresses_)
        socket_.send_to(address.ipv4, address.port, datagram);
}

}  // namespace simhost
