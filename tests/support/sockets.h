// Real loopback sockets for tests: free ports, a TCP client, a UDP sender, bounded waits.
#pragma once

#include <chrono>
#include <string>
#include <thread>

namespace testing_support {

// This process's id, to tell apart what parallel test processes create.
int process_id();

// A port that is free for both TCP and UDP on 127.0.0.1 right now.
int free_port();

// Polls until the condition holds or the time is up; true when it held.
template <typename Condition>
bool wait_until(Condition condition, int milliseconds = 2000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class TcpClient {
public:
    // A program holding a TCP port: listening on 0.0.0.0:port.
    class Listener {
    public:
        explicit Listener(int port);
        ~Listener();
        Listener(const Listener &) = delete;
        Listener &operator=(const Listener &) = delete;
        bool listening() const { return listening_; }

    private:
        int fd_ = -1;
        bool listening_ = false;
    };

    // Connects to 127.0.0.1:port; a receive buffer size above 0 is set before connecting. A source
    // address (another loopback address, such as "127.0.0.2") makes the connection come from there.
    explicit TcpClient(int port, int receive_buffer = 0, const char *source_address = nullptr);
    ~TcpClient();
    TcpClient(const TcpClient &) = delete;
    TcpClient &operator=(const TcpClient &) = delete;

    bool connected() const { return fd_ >= 0; }
    bool send(const std::string &bytes);
    // Sends what the socket takes now, without waiting; the count sent (0 when full or closed).
    size_t send_some(const std::string &bytes);
    // Closes with a reset instead of an orderly end.
    void reset();
    // Ends the sending direction only; the client still reads.
    void half_close();
    // Everything that arrives within the time, up to `bytes` bytes (stops early once reached).
    std::string receive(size_t bytes, int milliseconds = 2000);
    // Whatever is waiting now, without blocking.
    std::string receive_now();
    // True when the server has closed the connection (end of stream or reset) within the time.
    bool closed_by_peer(int milliseconds = 2000);
    void close();

private:
    int fd_ = -1;
};

// A UDP socket bound to 127.0.0.1:port (0: any free port), holding the port for as long as it lives.
class UdpReceiver {
public:
    explicit UdpReceiver(int port);
    ~UdpReceiver();
    UdpReceiver(const UdpReceiver &) = delete;
    UdpReceiver &operator=(const UdpReceiver &) = delete;
    bool bound() const { return bound_; }
    // The port bound (the one the system chose, for port 0).
    int port() const;
    // One datagram, or "" when none arrives in time.
    std::string receive(int milliseconds = 2000);

private:
    int fd_ = -1;
    bool bound_ = false;
};

// Starts a connection to 127.0.0.1:port without waiting for it, from the source address if one is
// given; the descriptor, or -1.
int connect_without_waiting(int port, const char *source_address = nullptr);
void close_descriptor(int fd);
// Sends on a raw connection; true when something was sent.
bool send_on(int fd, const std::string &bytes);
// What has arrived on a raw connection by now, read without waiting for more.
std::string receive_arrived(int fd);
// A raw connection as its client sees it now, without waiting (reads a byte when one waits).
enum class Peer { open, closed, spoke };
Peer peer_of(int fd);
// Descriptors this process has open now.
int open_descriptors();

// Sends one datagram to 127.0.0.1:port.
void send_datagram(int port, const std::string &bytes);

}  // namespace testing_support
