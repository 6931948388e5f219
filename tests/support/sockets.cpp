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
#include <filesystem>

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

// Binds a client socket to the source address before it connects; true without one.
bool bind_source(int fd, const char *source_address) {
    if (!source_address)
        return true;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    return inet_pton(AF_INET, source_address, &address.sin_addr) == 1 &&
           bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
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

TcpClient::Listener::Listener(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    listening_ = bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 && listen(fd_, 4) == 0;
}

TcpClient::Listener::~Listener() { ::close(fd_); }

TcpClient::TcpClient(int port, int receive_buffer, const char *source_address) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (!bind_source(fd_, source_address)) {
        close();
        return;
    }
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

size_t TcpClient::send_some(const std::string &bytes) {
    if (fd_ < 0)
        return 0;
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    return sent > 0 ? static_cast<size_t>(sent) : 0;
}

void TcpClient::reset() {
    if (fd_ < 0)
        return;
    const linger abort_on_close = {1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof(abort_on_close));
    close();
}

void TcpClient::half_close() {
    if (fd_ >= 0)
        shutdown(fd_, SHUT_WR);
}

std::string TcpClient::receive(size_t bytes, int milliseconds) {
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (fd_ >= 0 && received.size() < bytes) {
        // Time left, but at least one look at what has arrived, even with no time to wait.
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready = {fd_, POLLIN, 0};
        if (poll(&ready, 1, std::max(0, static_cast<int>(left.count()))) <= 0)
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

int connect_without_waiting(int port, const char *source_address) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    if (!bind_source(fd, source_address)) {
        ::close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
    sockaddr_in address = loopback(port);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void close_descriptor(int fd) {
    if (fd >= 0)
        ::close(fd);
}

int open_descriptors() {
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

void send_datagram(int port, const std::string &bytes) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = loopback(port);
    sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&address), sizeof(address));
    ::close(fd);
}

}  // namespace testing_support
