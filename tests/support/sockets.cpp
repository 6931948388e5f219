#include "support/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace testing_support {
namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool bindable(int type, int port) {
    const int fd = socket(AF_INET, type, 0);
    sockaddr_in address = loopback(port);
    const bool ok = bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

int free_port() {
    // Below the kernel's ephemeral range, so that no test's client connection can take the port
    // between this probe and the plug-in's bind; spread by process so parallel tests rarely meet.
    static unsigned int next = 20000 + static_cast<unsigned int>(getpid()) * 7919u % 12000u;
    for (int attempt = 0; attempt < 12000; ++attempt) {
        const int port = 20000 + static_cast<int>(next++ % 12000u);
        if (bindable(SOCK_STREAM, port) && bindable(SOCK_DGRAM, port))
            return port;
    }
    return 0;
}

TcpClient::TcpClient(int port, int receive_buffer) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (receive_buffer > 0)
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof(receive_buffer));
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    sockaddr_in address = loopback(port);
    if (connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0)
        close();
}

TcpClient::~TcpClient() { close(); }

void TcpClient::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool TcpClient::send(const std::string &bytes) {
    return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

std::string TcpClient::receive(size_t bytes, int milliseconds) {
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (fd_ >= 0 && received.size() < bytes) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd ready = {fd_, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[65536];
        const ssize_t count = recv(fd_, buffer, std::min(sizeof(buffer), bytes - received.size()), 0);
        if (count <= 0)
            break;
        received.append(buffer, static_cast<size_t>(count));
    }
    return received;
}

std::string TcpClient::receive_now() {
    std::string received;
    char buffer[65536];
    ssize_t count;
    while (fd_ >= 0 && (count = recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT)) > 0)
        received.append(buffer, static_cast<size_t>(count));
    return received;
}

bool TcpClient::closed_by_peer(int milliseconds) {
    return wait_until(
        [this] {
            char buffer[65536];
            ssize_t count;
            while ((count = recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT)) > 0) {
            }
            return count == 0 || (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
        },
        milliseconds);
}

UdpReceiver::UdpReceiver(int port) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = loopback(port);
    bound_ = bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
}

UdpReceiver::~UdpReceiver() { ::close(fd_); }

std::string UdpReceiver::receive(int milliseconds) {
    pollfd ready = {fd_, POLLIN, 0};
    if (poll(&ready, 1, milliseconds) <= 0)
        return std::string();
    char buffer[65536];
    const ssize_t count = recv(fd_, buffer, sizeof(buffer), 0);
    return count > 0 ? std::string(buffer, static_cast<size_t>(count)) : std::string();
}

void send_datagram(int port, const std::string &bytes) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = loopback(port);
    sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&address), sizeof(address));
    ::close(fd);
}

}  // namespace testing_support
