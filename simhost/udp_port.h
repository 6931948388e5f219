// A UDP port the simulated server answers on: bound, read without blocking from the frame loop.
#pragma once

#include <cstdint>
#include <string>

namespace simhost {

struct UdpPeer {
    std::uint32_t ipv4 = 0;  // host byte order
    int port = 0;
    std::string ip() const;
    std::string text() const { return ip() + ":" + std::to_string(port); }
};

class UdpPort {
public:
    UdpPort() = default;
    ~UdpPort();
    UdpPort(const UdpPort &) = delete;
    UdpPort &operator=(const UdpPort &) = delete;

    // Binds to the IPv4 address ("a.b.c.d", empty or "0.0.0.0": every interface) and port.
    bool open(const std::string &ip, int port, std::string *error);
    bool is_open() const { return handle_ != -1; }
    // One waiting datagram, cut to `size` bytes; false when none is waiting.
    bool receive(char *buffer, size_t size, size_t *length, UdpPeer *from);
    bool send(const UdpPeer &to, const std::string &bytes);

private:
    void close();

    std::intptr_t handle_ = -1;  // wide enough for a Winsock SOCKET
};

}  // namespace simhost
