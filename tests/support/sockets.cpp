#include "support/sockets.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "net/socket_port.h"

#if defined(_WIN32)
#include <process.h>
#else
#include <netinet/tcp.h>
#include <poll.h>
#endif

namespace testing_support {
namespace {

#if defined(_WIN32)

// The server program starts Winsock for the plug-in; in the tests, this does.
struct WinsockStarted {
    WinsockStarted() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
} winsock_started;

bool readable_within(int fd, int milliseconds) {
    WSAPOLLFD ready = {static_cast<SOCKET>(fd), POLLRDNORM, 0};
    return WSAPoll(&ready, 1, milliseconds) > 0;
}

void set_blocking(int fd, bool blocking) {
    u_long nonblocking = blocking ? 0 : 1;
    ioctlsocket(static_cast<SOCKET>(fd), FIONBIO, &nonblocking);
}

// Winsock has no per-call "do not wait": the socket is made non-blocking for the call.
int receive_now_from(int fd, char *buffer, size_t size) {
    set_blocking(fd, false);
    const int count = recv(static_cast<SOCKET>(fd), buffer, static_cast<int>(size), 0);
    const int error = WSAGetLastError();
    set_blocking(fd, true);
    WSASetLastError(error);
    return count;
}

int send_now_to(int fd, const char *bytes, size_t size) {
    set_blocking(fd, false);
    const int count = send(static_cast<SOCKET>(fd), bytes, static_cast<int>(size), 0);
    set_blocking(fd, true);
    return count;
}

const int SHUT_SENDING = SD_SEND;
const int CONNECT_PENDING = WSAEWOULDBLOCK;

#else

bool readable_within(int fd, int milliseconds) {
    pollfd ready = {fd, POLLIN, 0};
    return poll(&ready, 1, milliseconds) > 0;
}

int receive_now_from(int fd, char *buffer, size_t size) {
    return static_cast<int>(recv(fd, buffer, size, MSG_DONTWAIT));
}

int send_now_to(int fd, const char *bytes, size_t size) {
    return static_cast<int>(::send(fd, bytes, size, MSG_NOSIGNAL | MSG_DONTWAIT));
}

const int SHUT_SENDING = SHUT_WR;
const int CONNECT_PENDING = EINPROGRESS;

#endif

template <typename Value>
void set_option(int fd, int level, int name, const Value &value) {
    setsockopt(fd, level, name, reinterpret_cast<const char *>(&value), sizeof(value));
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool bind_to(int fd, const sockaddr_in &address) {
    return fd != net::NO_SOCKET && bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0;
}

bool bindable(int type, int port) {
    const int fd = net::open_socket(type);
    const bool ok = bind_to(fd, loopback(port));
    net::close_socket(fd);
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

int process_id() {
#if defined(_WIN32)
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

int free_port() {
    // Below the kernel's ephemeral range, so that no test's client connection can take the port
    // between this probe and the plug-in's bind; spread by process so parallel tests rarely meet.
    static unsigned int next = 20000 + static_cast<unsigned int>(process_id()) * 7919u % 12000u;
    for (int attempt = 0; attempt < 12000; ++attempt) {
        const int port = 20000 + static_cast<int>(next++ % 12000u);
        if (bindable(SOCK_STREAM, port) && bindable(SOCK_DGRAM, port))
            return port;
    }
    return 0;
}

TcpClient::Listener::Listener(int port) {
    fd_ = net::open_socket(SOCK_STREAM);
    sockaddr_in address = loopback(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    listening_ = bind_to(fd_, address) && listen(fd_, 4) == 0;
}

TcpClient::Listener::~Listener() { close_descriptor(fd_); }

TcpClient::TcpClient(int port, int receive_buffer, const char *source_address) {
    fd_ = net::open_socket(SOCK_STREAM);
    if (!bind_source(fd_, source_address)) {
        close();
        return;
    }
    if (receive_buffer > 0)
        set_option(fd_, SOL_SOCKET, SO_RCVBUF, receive_buffer);
    set_option(fd_, IPPROTO_TCP, TCP_NODELAY, 1);
    sockaddr_in address = loopback(port);
    if (connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0)
        close();
}

TcpClient::~TcpClient() { close(); }

void TcpClient::close() {
    close_descriptor(fd_);
    fd_ = -1;
}

bool TcpClient::send(const std::string &bytes) {
    return fd_ >= 0 &&
           net::send_bytes(fd_, bytes.data(), static_cast<int>(bytes.size())) == static_cast<int>(bytes.size());
}

size_t TcpClient::send_some(const std::string &bytes) {
    if (fd_ < 0)
        return 0;
    const int sent = send_now_to(fd_, bytes.data(), bytes.size());
    return sent > 0 ? static_cast<size_t>(sent) : 0;
}

void TcpClient::reset() {
    if (fd_ < 0)
        return;
    linger abort_on_close = {};
    abort_on_close.l_onoff = 1;
    set_option(fd_, SOL_SOCKET, SO_LINGER, abort_on_close);
    close();
}

void TcpClient::half_close() {
    if (fd_ >= 0)
        shutdown(fd_, SHUT_SENDING);
}

std::string TcpClient::receive(size_t bytes, int milliseconds) {
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (fd_ >= 0 && received.size() < bytes) {
        // Time left, but at least one look at what has arrived, even with no time to wait.
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!readable_within(fd_, std::max(0, static_cast<int>(left.count()))))
            break;
        char buffer[65536];
        const int count =
            net::receive(fd_, buffer, static_cast<int>(std::min(sizeof(buffer), bytes - received.size())));
        if (count <= 0)
            break;
        received.append(buffer, static_cast<size_t>(count));
    }
    return received;
}

std::string TcpClient::receive_now() { return fd_ >= 0 ? receive_arrived(fd_) : std::string(); }

bool TcpClient::closed_by_peer(int milliseconds) {
    return wait_until(
        [this] {
            char buffer[65536];
            int count;
            while ((count = receive_now_from(fd_, buffer, sizeof(buffer))) > 0) {
            }
            return count == 0 || (count < 0 && !net::would_block(net::last_socket_error()));
        },
        milliseconds);
}

UdpReceiver::UdpReceiver(int port) {
    fd_ = net::open_socket(SOCK_DGRAM);
    bound_ = bind_to(fd_, loopback(port));
}

UdpReceiver::~UdpReceiver() { close_descriptor(fd_); }

int UdpReceiver::port() const {
    sockaddr_in address{};
    socklen_t size = sizeof(address);
    if (getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

std::string UdpReceiver::receive(int milliseconds) {
    if (!readable_within(fd_, milliseconds))
        return std::string();
    char buffer[65536];
    const int count = net::receive(fd_, buffer, sizeof(buffer));
    return count > 0 ? std::string(buffer, static_cast<size_t>(count)) : std::string();
}

int connect_without_waiting(int port, const char *source_address) {
    const int fd = net::open_socket(SOCK_STREAM);
    if (fd == net::NO_SOCKET)
        return -1;
    if (!bind_source(fd, source_address)) {
        net::close_socket(fd);
        return -1;
    }
    net::set_nonblocking(fd);
    sockaddr_in address = loopback(port);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 &&
        net::last_socket_error() != CONNECT_PENDING) {
        net::close_socket(fd);
        return -1;
    }
    return fd;
}

bool send_on(int fd, const std::string &bytes) {
    return net::send_bytes(fd, bytes.data(), static_cast<int>(bytes.size())) > 0;
}

std::string receive_arrived(int fd) {
    std::string received;
    char buffer[65536];
    int count;
    while ((count = receive_now_from(fd, buffer, sizeof(buffer))) > 0)
        received.append(buffer, static_cast<size_t>(count));
    return received;
}

Peer peer_of(int fd) {
    char byte;
    const int count = receive_now_from(fd, &byte, 1);
    if (count > 0)
        return Peer::spoke;
    return count == 0 || !net::would_block(net::last_socket_error()) ? Peer::closed : Peer::open;
}

void close_descriptor(int fd) {
    if (fd >= 0)
        net::close_socket(fd);
}

int open_descriptors() {
#if defined(_WIN32)
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    return static_cast<int>(handles);
#else
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
#endif
}

void send_datagram(int port, const std::string &bytes) {
    const int fd = net::open_socket(SOCK_DGRAM);
    sockaddr_in address = loopback(port);
    sendto(fd, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr *>(&address),
           sizeof(address));
    close_descriptor(fd);
}

}  // namespace testing_support
