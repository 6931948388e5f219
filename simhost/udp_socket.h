// One UDP socket that sends datagrams; the only place the simulator touches the socket API.
#pragma once

#include <cstdint>
#include <string>

namespace simhost {

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket &) = delete;
    UdpSocket &operator=(const UdpSocket &) = delete;

    // Sends one datagram to an IPv4 address given in host byte order; the socket opens on first
    // use. False when it could not be sent.
    bool send_to(std::uint32_t ipv4, int port, const std::string &bytes);

private:
    bool open();
    void close();

    std::intptr_t handle_ = -1;  // wide enough for a Winsock SOCKET
#if defined(_WIN32)
    bool winsock_started_ = false;
#endif
};

}  // namespace simhost
