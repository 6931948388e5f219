// The UDP socket on which the server's own log arrives, handed out one line per call.
#pragma once

#include "net/cstrings.h"
#include "net/socket_port.h"

class udp_server {
public:
    // Creates the socket already, non-blocking; binding waits for setport.
    udp_server();
    ~udp_server();
    udp_server(const udp_server &) = delete;
    udp_server &operator=(const udp_server &) = delete;

    // Binds to ip:port once; true when bound.
    bool setport(int port, const char *ip);
    bool isready() const { return state == READY; }
    // The socket, NO_SOCKET when none could be created.
    int socket_descriptor() const { return socketfd; }
    // The oldest received line not yet handed out (without its line feed), or null. A datagram is
    // received only when no line is waiting. caddr, if given, receives the sender's address.
    const char *getline(sockaddr_in *caddr);
    // Sends data to host:port; 1 when all of it went out.
    unsigned int senddata(const char *host, unsigned short port, const char *data);

private:
    enum { NO_SOCKET_YET = 0, CREATED = 1, READY = 2 };
    enum { DATAGRAM_SIZE = 2048 };

    bool create();

    sockaddr_in saddr{};
    int socketfd = net::NO_SOCKET;
    int state = NO_SOCKET_YET;
    CStrings readbuf;
};

extern udp_server udp_serv;

// Queues the log lines of one received datagram: the text ends at its first NUL, leading 255 bytes
// (the out-of-band header) are skipped, and empty lines are not queued (a datagram of line feeds
// must not fill memory).
void queue_datagram_lines(CStrings &lines, const char *data, int count);
