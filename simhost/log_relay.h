// The server log sent over UDP, as a real server does once told log addresses: every line becomes
// one datagram to every address.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "simhost/udp_socket.h"

namespace simhost {

struct LogAddress {
    std::uint32_t ipv4 = 0;  // host byte order
    int port = 0;
    bool operator==(const LogAddress &other) const { return ipv4 == other.ipv4 && port == other.port; }
};

// "a.b.c.d" and a port, or "a.b.c.d:port" alone; false for anything else.
bool parse_log_address(const std::vector<std::string> &words, LogAddress *address);

// FF FF FF FF, "log L MM/DD/YYYY - HH:MM:SS: " in local time, the line without its trailing line
// feed, then "\n" and a NUL byte.
std::string log_datagram(const std::string &line, std::time_t when);

class LogRelay {
public:
    // Carries out "logaddress", "logaddress_add", "logaddress_del" and "logaddress_delall";
    // false for any other command.
    bool execute(const std::vector<std::string> &command);

    void send(const std::string &line);
    const std::vector<LogAddress> &addresses() const { return addresses_; }

private:
    void add(const LogAddress &address);
    void remove(const LogAddress &address);

    std::vector<LogAddress> addresses_;
    UdpSocket socket_;
};

}  // namespace simhost
