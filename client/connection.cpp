#include "client/connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace client {
namespace {

// Waits for a non-blocking connect to finish; the socket's error, or ETIMEDOUT.
int finish_connect(int fd, int milliseconds) {
    pollfd ready = {fd, POLLOUT, 0};
    const int polled = poll(&ready, 1, milliseconds);  // Ctrl-C ends the wait with EINTR
    if (polled == 0)
        return ETIMEDOUT;
    int error = 0;
    socklen_t size = sizeof(error);
    if (polled < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return errno;
    return error;
}

// A connected socket, or -1 with errno's reason in *reason.
int connect_to(const addrinfo &address, int milliseconds, int *reason) {
    const int fd = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (fd < 0) {
        *reason = errno;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    *reason = connect(fd, address.ai_addr, address.ai_addrlen) == 0 ? 0 : errno;
    if (*reason == EINPROGRESS)
        *reason = finish_connect(fd, milliseconds);
    if (*reason != 0) {
        ::close(fd);
        return -1;
    }
    const int on = 1;  // commands are single short lines: no reason to hold them back
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    return fd;
}

}  // namespace

Connection::~Connection() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool Connection::open(const std::string &host, int port, int milliseconds, std::string *error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0) {
        *error = "cannot resolve " + host + ": " + gai_strerror(resolved);
        return false;
    }
    int reason = 0;
    for (const addrinfo *address = found; address && fd_ < 0; address = address->ai_next)
        fd_ = connect_to(*address, milliseconds, &reason);
    freeaddrinfo(found);
    if (fd_ < 0)
        *error = "cannot connect to " + host + ":" + std::to_string(port) + ": " + std::strerror(reason);
    return fd_ >= 0;
}

bool Connection::send_line(const std::string &line) {
    const std::string bytes = line + "\n";
    size_t sent = 0;
    while (sent < bytes.size()) {
        pollfd ready = {fd_, POLLOUT, 0};
        const int polled = poll(&ready, 1, 1000);
        if (polled == 0 || (polled < 0 && errno != EINTR))
            return false;
        const ssize_t count = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        sent += count > 0 ? static_cast<size_t>(count) : 0;
    }
    return true;
}

Connection::Received Connection::receive(std::string *bytes, int milliseconds) {
    pollfd ready = {fd_, POLLIN, 0};
    if (poll(&ready, 1, milliseconds) <= 0)
        return Received::nothing;
    char buffer[65536];
    const ssize_t count = recv(fd_, buffer, sizeof(buffer), 0);
    if (count > 0) {
        bytes->append(buffer, static_cast<size_t>(count));
        return Received::data;
    }
    return count < 0 && (errno == EAGAIN || errno == EINTR) ? Received::nothing : Received::closed;
}

}  // namespace client
