// The one place where the BSD socket and Winsock interfaces differ. Descriptors are ints on both
// (Winsock handles fit in 32 bits); -1 marks "no socket" everywhere.
#pragma once

#include <cerrno>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#if defined(__i386__)
// Current headers bind fcntl to a version that servers with an older C library lack.
__asm__(".symver fcntl,fcntl@GLIBC_2.0");
#endif
#endif

namespace net {

const int NO_SOCKET = -1;

#if defined(_WIN32)

const int SHUT_BOTH = SD_BOTH;
const int SEND_FLAGS = 0;
const int ERROR_WOULD_BLOCK = WSAEWOULDBLOCK;

inline int open_socket(int type) {
    const SOCKET s = socket(AF_INET, type, 0);
    return s == INVALID_SOCKET ? NO_SOCKET : static_cast<int>(s);
}
inline int set_nonblocking(int sd) {
    u_long on = 1;
    return ioctlsocket(static_cast<SOCKET>(sd), FIONBIO, &on) == 0 ? 0 : -1;
}
inline void close_socket(int sd) { closesocket(static_cast<SOCKET>(sd)); }
inline int last_socket_error() { return WSAGetLastError(); }
inline void set_socket_error(int error) { WSASetLastError(error); }
const int ERROR_ADDRESS_NOT_AVAILABLE = WSAEADDRNOTAVAIL;

// Windows' SO_REUSEADDR lets a later socket bind a port already bound, so two programs would
// silently share it; SO_EXCLUSIVEADDRUSE gives what a bound port means on Linux.
inline void claim_port(int sd) {
    const BOOL on = TRUE;
    setsockopt(static_cast<SOCKET>(sd), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char *>(&on),
               sizeof(on));
}
inline void claim_listener_port(int sd) { claim_port(sd); }

#else

const int SHUT_BOTH = SHUT_RDWR;
const int SEND_FLAGS = MSG_NOSIGNAL;  // a closed peer must not raise SIGPIPE in the server
const int ERROR_WOULD_BLOCK = EAGAIN;

inline int open_socket(int type) { return socket(AF_INET, type, 0); }
inline int set_nonblocking(int sd) {
    const int flags = fcntl(sd, F_GETFL, 0);
    return flags < 0 || fcntl(sd, F_SETFL, flags | O_NONBLOCK) < 0 ? -1 : 0;
}
inline void close_socket(int sd) { close(sd); }
inline int last_socket_error() { return errno; }
inline void set_socket_error(int error) { errno = error; }
const int ERROR_ADDRESS_NOT_AVAILABLE = EADDRNOTAVAIL;

// A bound port is the binding socket's alone by default.
inline void claim_port(int) {}
// A restarted server can listen again at once, while its old connections linger in TIME_WAIT.
inline void claim_listener_port(int sd) {
    const int on = 1;
    setsockopt(sd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
}

#endif

inline bool would_block(int error) {
#if !defined(_WIN32)
    if (error == EWOULDBLOCK)
        return true;
#endif
    return error == ERROR_WOULD_BLOCK;
}

// Binds to an IPv4 address. The all-ones address, which is also what an address text that does not
// parse becomes, is refused as "not available": some systems accept it and would leave a socket
// that nobody can reach.
inline int bind_ipv4(int sd, const sockaddr_in &address) {
    if (address.sin_addr.s_addr == INADDR_NONE) {
        set_socket_error(ERROR_ADDRESS_NOT_AVAILABLE);
        return -1;
    }
    return bind(sd, reinterpret_cast<const sockaddr *>(&address), sizeof(address));
}

inline int receive(int sd, char *buffer, int size) { return static_cast<int>(recv(sd, buffer, size, 0)); }
inline int send_bytes(int sd, const char *buffer, int size) {
    return static_cast<int>(send(sd, buffer, size, SEND_FLAGS));
}
inline void shut_and_close(int sd) {
    shutdown(sd, SHUT_BOTH);
    close_socket(sd);
}

}  // namespace net
