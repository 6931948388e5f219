#include "simhost/udp_port.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace simhost {

#if defined(_WIN32)
using SocketLength = int;
static SOCKET native(std::intptr_t handle) { return static_cast<SOCKET>(handle); }
static bool set_non_blocking(std::intptr_t handle) {
    u_long on = 1;
    return ioctlsocket(static_cast<SOCKET>(handle), FIONBIO, &on) == 0;
}
static void close_handle(std::intptr_t handle) { closesocket(static_cast<SOCKET>(handle)); }
static std::intptr_t open_handle() {
    const SOCKET handle = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    return handle == INVALID_SOCKET ? -1 : static_cast<std::intptr_t>(handle);
}
#else
using SocketLength = socklen_t;
static int native(std::intptr_t handle) { return static_cast<int>(handle); }
static bool set_non_blocking(std::intptr_t handle) {
    const int flags = fcntl(static_cast<int>(handle), F_GETFL, 0);
    return flags >= 0 && fcntl(static_cast<int>(handle), F_SETFL, flags | O_NONBLOCK) == 0;
}
static void close_handle(std::intptr_t handle) { ::close(static_cast<int>(handle)); }
static std::intptr_t open_handle() { return socket(AF_INET, SOCK_DGRAM, 0); }
#endif

std::string UdpPeer::ip() const {
    return std::to_string(ipv4 >> 24) + "." + std::to_string((ipv4 >> 16) & 255) + "." +
           std::to_string((ipv4 >> 8) & 255) + "." + std::to_string(ipv4 & 255);
}

UdpPort::~UdpPort() { close(); }

void UdpPort::close() {
    if (handle_ != -1)
        close_handle(handle_);
    handle_ = -1;
}

bool UdpPort::open(const std::string &ip, int port, std::string *error) {
    close();
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<unsigned short>(port));
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!ip.empty() && ip != "0.0.0.0" && inet_pton(AF_INET, ip.c_str(), &at.sin_addr) != 1) {
        *error = "not an IPv4 address: " + ip;
        return false;
    }
    handle_ = open_handle();
    if (handle_ == -1 || !set_non_blocking(handle_) ||
        bind(native(handle_), reinterpret_cast<const sockaddr *>(&at), sizeof(at)) != 0) {
        *error = "cannot take UDP port " + std::to_string(port);
        close();
        return false;
    }
    return true;
}

bool UdpPort::receive(char *buffer, size_t size, size_t *length, UdpPeer *from) {
    if (handle_ == -1)
        return false;
    sockaddr_in peer{};
    SocketLength peer_length = sizeof(peer);
    const auto count =
        recvfrom(native(handle_), buffer, static_cast<int>(size), 0, reinterpret_cast<sockaddr *>(&peer), &peer_length);
    if (count < 0)
        return false;
    *length = static_cast<size_t>(count);
    from->ipv4 = ntohl(peer.sin_addr.s_addr);
    from->port = ntohs(peer.sin_port);
    return true;
}

bool UdpPort::send(const UdpPeer &to, const std::string &bytes) {
    if (handle_ == -1)
        return false;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<unsigned short>(to.port));
    peer.sin_addr.s_addr = htonl(to.ipv4);
    const auto count = sendto(native(handle_), bytes.data(), static_cast<int>(bytes.size()), 0,
                              reinterpret_cast<const sockaddr *>(&peer), sizeof(peer));
    return count == static_cast<long>(bytes.size());
}

}  // namespace simhost
