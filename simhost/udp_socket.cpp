#include "simhost/udp_socket.h"

#if defined(_WIN32)
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace simhost {

#if defined(_WIN32)

bool UdpSocket::open() {
    WSADATA data;
    if (!winsock_started_ && WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return false;
    winsock_started_ = true;
    const SOCKET handle = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (handle == INVALID_SOCKET)
        return false;
    handle_ = static_cast<std::intptr_t>(handle);
    return true;
}

void UdpSocket::close() {
    if (handle_ != -1)
        closesocket(static_cast<SOCKET>(handle_));
    handle_ = -1;
    if (winsock_started_)
        WSACleanup();
    winsock_started_ = false;
}

static int send_datagram(std::intptr_t handle, const sockaddr_in &to, const std::string &bytes) {
    return sendto(static_cast<SOCKET>(handle), bytes.data(), static_cast<int>(bytes.size()), 0,
                  reinterpret_cast<const sockaddr *>(&to), sizeof(to));
}

#else

bool UdpSocket::open() {
    const int handle = socket(AF_INET, SOCK_DGRAM, 0);
    if (handle < 0)
        return false;
    handle_ = handle;
    return true;
}

void UdpSocket::close() {
    if (handle_ != -1)
        ::close(static_cast<int>(handle_));
    handle_ = -1;
}

static long send_datagram(std::intptr_t handle, const sockaddr_in &to, const std::string &bytes) {
    return static_cast<long>(sendto(static_cast<int>(handle), bytes.data(), bytes.size(), 0,
                                    reinterpret_cast<const sockaddr *>(&to), sizeof(to)));
}

#endif

UdpSocket::~UdpSocket() { close(); }

bool UdpSocket::send_to(std::uint32_t ipv4, int port, const std::string &bytes) {
    if (handle_ == -1 && !open())
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<unsigned short>(port));
    to.sin_addr.s_addr = htonl(ipv4);
    return send_datagram(handle_, to, bytes) == static_cast<long>(bytes.size());
}

}  // namespace simhost
