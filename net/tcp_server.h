// The listener for administration clients: one non-blocking listening socket and a table of
// client slots, polled by the frame loop. It also holds the staggered send buffer, a ring of
// stored report cycles that delays what clients see by whole cycles.
#pragma once

#include <cstdint>

#include "net/socket_port.h"

enum {
    TCP_SLOTS = 100,     // size of the slot table; the pool never exceeds it
    SEND_QUEUES = 6,     // one per report buffer
    SEND_FRAMES = 30,    // stored cycles at most
    REPORT_SIZE = 5000,  // a report text with its terminator
};

class tcp_server {
public:
    tcp_server();

    // Opens the listener on ip:port with a backlog of portpool. 0 when listening, -1 on failure.
    int init(int port, const char *ip);
    // Accepts at most one waiting client, into the lowest free slot. Clients the access settings
    // refuse are closed on the way and take no slot.
    void update_connections();
    // Bytes read (> 0); 0 when the peer has closed (the slot is freed); -1 for an invalid or free
    // slot, nothing waiting, or a failed read.
    int get_input(int conn_num, char *buffer, int size);
    // Bytes sent; a failed or partial send closes the client. -2 for a free slot, -3 for an
    // invalid slot number.
    int send_data(int conn_num, const char *buffer, int size);
    // 0 when the slot holds a connection, -1 otherwise.
    int check_if_open(int conn_num) const;
    void close_connection(int conn_num);
    void close_connections();
    // Closes the open connections whose address the allow-list no longer lets in.
    void close_disallowed();
    void stoplistening();
    // The listening socket, NO_SOCKET when not listening.
    int listening_socket() const { return _sd; }

    // Staggered sending. resetstack sizes the ring (at most SEND_FRAMES; 0 or less: off).
    void resetstack(int size);
    // Stores a report text into the current cycle's frame.
    void push_sendbuffer(const char *buffer, int queue);
    // Sends buffer now when the delay is off; otherwise replaces it with the text stored
    // frame_size - 1 cycles ago and sends that, or sends nothing (0) while the ring fills.
    int send_data_lag(int conn_num, char (&buffer)[REPORT_SIZE], int size, int queue);
    // At the end of a cycle: the next frame to store into and to send from.
    void advance_frames();

    int frame_size = 0;   // frames in use; 0 or less: no delay
    int frame_store = 0;  // frame the current cycle stores into
    int frame_send = 0;   // frame the current cycle sends from; negative while the ring fills

private:
    bool valid_slot(int conn_num) const;
    // Frees a slot whose connection ends, logging why.
    void drop(int conn_num, int reason);
    // The next waiting connection that may take a slot (others are closed on the way), or -1.
    int accept_admitted(uint32_t *address);
    int abandon_listener();

    int _sd = net::NO_SOCKET;
    int _rc = 0;
    int _sd_queue[TCP_SLOTS];  // descriptor per slot, NO_SOCKET when free
    // Address per slot, host byte order.
    uint32_t _peer[TCP_SLOTS] = {};
    sockaddr_in _localAddr{};
    char sendbuffer_stack[SEND_FRAMES][SEND_QUEUES][REPORT_SIZE];
};

extern tcp_server tcp_serv;

// Number of usable slots: 0 to portpool - 1. Also the listen backlog.
extern int portpool;

// Sets portpool from the configured count, kept within the slot table.
void set_portpool(int requested);

// Every listener tells this function of each slot a connection takes (-1) and frees (+1), as it
// happens: the caller keeps the free-slot count where the server's operators see it. None: untold.
void report_slot_changes_to(void (*report)(int adjust));
