#include "net/udp_server.h"

#include <cstring>

#include "host/sdk_util.h"

udp_server udp_serv;

udp_server::udp_server() {
    saddr.sin_family = AF_INET;
    create();
}

udp_server::~udp_server() {
    if (socketfd != net::NO_SOCKET)
        net::close_socket(socketfd);
}

// A socket that cannot be made non-blocking is closed again: reading it would stall the server.
bool udp_server::create() {
    socketfd = net::open_socket(SOCK_DGRAM);
    if (socketfd == net::NO_SOCKET)
        return false;
    if (net::set_nonblocking(socketfd) < 0) {
        net::close_socket(socketfd);
        socketfd = net::NO_SOCKET;
        return true;  // created, but not usable: silent, as a failed mode change always was
    }
    // Another program bound to the same port would receive the server's log.
    net::claim_port(socketfd);
    state = CREATED;
    return true;
}

bool udp_server::setport(int port, const char *ip) {
    if (state == READY) {
        UTIL_LogPrintf("[ORLEX] Attempting to set UDP port, already set to %i", ntohs(saddr.sin_port));
        return false;
    }
    if (state == NO_SOCKET_YET) {
        if (!create()) {
            UTIL_LogPrintf("[ORLEX] Unable to create UDP socket");
            return false;
        }
        if (state != CREATED)
            return false;
    }
    if (port < 1 || port > 65535) {
        UTIL_LogPrintf("[ORLEX] Invalid port %i for UDP socket", port);
        return false;
    }
    saddr.sin_port = htons(static_cast<unsigned short>(port));
    saddr.sin_addr.s_addr = inet_addr(ip ? ip : "");
    if (net::bind_ipv4(socketfd, saddr) < 0) {
        UTIL_LogPrintf("[ORLEX] Unable to bind UDP socket to port %i", port);
        return false;  // still created: a later call may try again
    }
    state = READY;
    return true;
}

void queue_datagram_lines(CStrings &lines, const char *data, int count) {
    const char *text = data;
    const char *end = data + (count > 0 ? count : 0);
    while (text < end && static_cast<unsigned char>(*text) == 255)
        ++text;
    while (text < end && *text) {
        const char *line_end = text;
        while (line_end < end && *line_end && *line_end != '\n')
            ++line_end;
        if (line_end > text)
            lines.Push(text, static_cast<unsigned int>(line_end - text));
        text = line_end < end && *line_end == '\n' ? line_end + 1 : line_end;
    }
}

const char *udp_server::getline(sockaddr_in *caddr) {
    if (state != READY) {
        UTIL_LogPrintf("[ORLEX] Attempting to get data on a non-ready UDP socket");
        return nullptr;
    }
    if (readbuf.GetSize() == 0) {
        char data[DATAGRAM_SIZE + 1];
        sockaddr_in sender;
        socklen_t sender_size = sizeof(sender);
        const int count = static_cast<int>(recvfrom(
            socketfd, data, DATAGRAM_SIZE, 0, reinterpret_cast<sockaddr *>(caddr ? caddr : &sender), &sender_size));
        if (count < 0) {
            const int error = net::last_socket_error();
            if (!net::would_block(error))
                UTIL_LogPrintf("[ORLEX] Error (%i) receiving data on UDP port %i", error, ntohs(saddr.sin_port));
        } else {
            queue_datagram_lines(readbuf, data, count);
        }
    }
    return readbuf.Pop();
}

unsigned int udp_server::senddata(const char *host, unsigned short port, const char *data) {
    if (state != READY) {
        UTIL_LogPrintf("[ORLEX] Attempting to send data on a non-ready UDP socket");
        return 0;
    }
    const hostent *found = host ? gethostbyname(host) : nullptr;
    if (!found || found->h_addrtype != AF_INET || !found->h_addr_list[0]) {
        UTIL_LogPrintf("[ORLEX] Unable to resolve \"%s\"", host ? host : "");
        return 0;
    }
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    memcpy(&destination.sin_addr, found->h_addr_list[0], sizeof(destination.sin_addr));

    const char *rest = data ? data : "";
    size_t remaining = strlen(rest);
    while (remaining > 0) {
        const int sent =
            static_cast<int>(sendto(socketfd, rest, static_cast<int>(remaining), 0,
                                    reinterpret_cast<const sockaddr *>(&destination), sizeof(destination)));
        if (sent < 0) {
            UTIL_LogPrintf("sendto(\"%s\", %i) failed for socket %i", host, port, socketfd);
            return 0;
        }
        rest += sent;
        remaining -= static_cast<size_t>(sent);
    }
    return 1;
}
