#include "net/tcp_server.h"

#include <cstdio>
#include <cstring>

#include "host/engine.h"
#include "host/sdk_util.h"
#include "net/admission.h"
#include "net/socket_error_text.h"

tcp_server tcp_serv;
int portpool;

enum { REFUSALS_PER_CHECK = 32 };

// A refused client gets a reset, never a byte, and leaves no closing state behind on our side.
static void close_refused(int client) {
    linger abort_at_once = {1, 0};
    setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&abort_at_once), sizeof(abort_at_once));
    net::close_socket(client);
}

void set_portpool(int requested) {
    portpool = requested < 0 ? 0 : requested > TCP_SLOTS ? TCP_SLOTS : requested;
    if (portpool != requested)
        UTIL_LogPrintf("[ORLEX] orlex_port_pool %i is outside 0 to %i; using %i slots", requested, TCP_SLOTS, portpool);
}

static void (*slot_change_report)(int adjust);

void report_slot_changes_to(void (*report)(int adjust)) { slot_change_report = report; }

static void report_slot_change(int adjust) {
    if (slot_change_report)
        slot_change_report(adjust);
}

tcp_server::tcp_server() {
    // Not constant-initialised on purpose: the object stays in zeroed storage, not in the file.
    for (int &slot : _sd_queue)
        slot = net::NO_SOCKET;
}

bool tcp_server::valid_slot(int conn_num) const { return conn_num >= 0 && conn_num < portpool && conn_num < TCP_SLOTS; }

int tcp_server::check_if_open(int conn_num) const {
    return valid_slot(conn_num) && _sd_queue[conn_num] != net::NO_SOCKET ? 0 : -1;
}

int tcp_server::init(int port, const char *ip) {
    UTIL_LogPrintf("[ORLEX] Initializing server. %i listeners..", portpool);
    for (int slot = 0; slot < portpool && slot < TCP_SLOTS; ++slot)
        _sd_queue[slot] = net::NO_SOCKET;
    if (port < 1 || port > 65535) {
        UTIL_LogPrintf("[ORLEX] Invalid port %i for the TCP listener", port);
        return -1;
    }

    _sd = net::open_socket(SOCK_STREAM);
    if (_sd == net::NO_SOCKET) {
        UTIL_LogPrintf("[ORLEX] Error creating socket");
        net::print_socket_error("one");
        return -1;
    }
    UTIL_LogPrintf("[ORLEX] socket assigned to port %i", port);
    if (net::set_nonblocking(_sd) < 0)
        return abandon_listener();
    net::claim_listener_port(_sd);

    memset(&_localAddr, 0, sizeof(_localAddr));
    _localAddr.sin_family = AF_INET;
    _localAddr.sin_addr.s_addr = inet_addr(ip ? ip : "");
    UTIL_LogPrintf("[ORLEX] Socket assigned to IP %s", inet_ntoa(_localAddr.sin_addr));
    _localAddr.sin_port = htons(static_cast<unsigned short>(port));

    _rc = net::bind_ipv4(_sd, _localAddr);
    if (_rc < 0) {
        UTIL_LogPrintf("[ORLEX] Error binding socket");
        net::print_socket_error("two");
        return abandon_listener();
    }
    UTIL_LogPrintf("[ORLEX] Success binding socket");
    _rc = listen(_sd, portpool);
    if (_rc < 0) {
        UTIL_LogPrintf("[ORLEX] Error establishing listener %i", _rc);
        net::print_socket_error("three");
        return abandon_listener();
    }
    UTIL_LogPrintf("[ORLEX] Success establishing listener");
    return 0;
}

// A listener that failed to start is closed, not left open and unlistened until the plug-in unloads.
int tcp_server::abandon_listener() {
    net::close_socket(_sd);
    _sd = net::NO_SOCKET;
    return -1;
}

void tcp_server::update_connections() {
    int slot = 0;
    while (slot < portpool && slot < TCP_SLOTS && _sd_queue[slot] != net::NO_SOCKET)
        ++slot;
    if (slot >= portpool || slot >= TCP_SLOTS || _sd == net::NO_SOCKET)
        return;  // a full pool leaves newcomers waiting in the backlog

    uint32_t address = 0;
    const int client = accept_admitted(&address);
    if (client < 0)
        return;  // usually: nobody is waiting
    _sd_queue[slot] = client;
    _peer[slot] = address;
    UTIL_LogPrintf("[ORLEX] Connect::%i", slot);
    report_slot_change(-1);
    net::set_nonblocking(client);
}

// Refused connections take no slot and do not use up a check's one accept: a refused host must not
// keep an allowed one waiting in the backlog. Bounded, so that a flood cannot hold up a frame.
int tcp_server::accept_admitted(uint32_t *address) {
    for (int refused = 0; refused <= REFUSALS_PER_CHECK; ++refused) {
        sockaddr_in peer;
        socklen_t peer_size = sizeof(peer);
        const int client = static_cast<int>(accept(_sd, reinterpret_cast<sockaddr *>(&peer), &peer_size));
        if (client < 0)
            return -1;
        *address = ntohl(peer.sin_addr.s_addr);
        if (admission.admit(*address, server_time()))
            return client;
        close_refused(client);
    }
    return -1;
}

int tcp_server::get_input(int conn_num, char *buffer, int size) {
    if (check_if_open(conn_num) != 0 || !buffer || size <= 0)
        return -1;
    const int count = net::receive(_sd_queue[conn_num], buffer, size);
    if (count == 0) {
        drop(conn_num, 1);
        return 0;
    }
    return count < 0 ? -1 : count;  // a failed read leaves the connection to the next send
}

int tcp_server::send_data(int conn_num, const char *buffer, int size) {
    if (!valid_slot(conn_num))
        return -3;
    if (_sd_queue[conn_num] == net::NO_SOCKET)
        return -2;
    if (!buffer || size <= 0)
        return 0;
    const int sent = net::send_bytes(_sd_queue[conn_num], buffer, size);
    // A client that cannot take a whole record (its buffer is full, or it is gone) is cut off:
    // the rest of a cut record would corrupt every record after it.
    if (sent != size)
        close_connection(conn_num);
    return sent;
}

void tcp_server::drop(int conn_num, int reason) {
    UTIL_LogPrintf("[ORLEX] Disconnect(%i)::%i", reason, conn_num);
    report_slot_change(+1);
    net::shut_and_close(_sd_queue[conn_num]);
    _sd_queue[conn_num] = net::NO_SOCKET;
}

void tcp_server::close_connection(int conn_num) {
    if (check_if_open(conn_num) == 0)
        drop(conn_num, 3);
}

void tcp_server::close_connections() {
    for (int slot = 0; slot < portpool && slot < TCP_SLOTS; ++slot)
        if (_sd_queue[slot] != net::NO_SOCKET)
            drop(slot, 2);
}

void tcp_server::close_disallowed() {
    for (int slot = 0; slot < portpool && slot < TCP_SLOTS; ++slot) {
        if (_sd_queue[slot] == net::NO_SOCKET || admission.allows(_peer[slot]))
            continue;
        char text[16];
        address_text(_peer[slot], text);
        UTIL_LogPrintf("[ORLEX] %s is no longer in orlex_mm_allow", text);
        drop(slot, 4);
    }
}

void tcp_server::stoplistening() {
    close_connections();
    UTIL_LogPrintf("[ORLEX] Stopping listener");
    if (_sd != net::NO_SOCKET)
        net::shut_and_close(_sd);
    _sd = net::NO_SOCKET;
}

void tcp_server::resetstack(int size) {
    // Any size of 0 or less means "off"; keeping it at 0 keeps the counters far from overflow.
    frame_size = size > SEND_FRAMES ? SEND_FRAMES : size < 0 ? 0 : size;
    frame_store = 0;
    frame_send = 1 - frame_size;
}

static bool in_ring(int frame, int queue) {
    return frame >= 0 && frame < SEND_FRAMES && queue >= 0 && queue < SEND_QUEUES;
}

// Copies a text, cut to fit, always terminated.
static void copy_report(char *to, const char *from) {
    const size_t length = strnlen(from, REPORT_SIZE - 1);
    memcpy(to, from, length);
    to[length] = '\0';
}

void tcp_server::push_sendbuffer(const char *buffer, int queue) {
    if (buffer && in_ring(frame_store, queue))
        copy_report(sendbuffer_stack[frame_store][queue], buffer);
}

int tcp_server::send_data_lag(int conn_num, char (&buffer)[REPORT_SIZE], int size, int queue) {
    if (frame_size <= 0)
        return send_data(conn_num, buffer, size);
    if (!in_ring(frame_send, queue))
        return 0;  // still filling (frame_send negative), or no such queue
    copy_report(buffer, sendbuffer_stack[frame_send][queue]);
    return send_data(conn_num, buffer, static_cast<int>(strlen(buffer)));
}

void tcp_server::advance_frames() {
    if (++frame_store >= frame_size)
        frame_store = 0;
    if (++frame_send >= frame_size)
        frame_send = 0;
}
