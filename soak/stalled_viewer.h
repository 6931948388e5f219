// A page that never reads: it asks for a busy server's state over a WebSocket with a small
// receive buffer and then takes nothing, so the gateway's writes to it back up until it cuts the
// page off. A cut-off cannot be seen without reading (the gateway's end waits behind the bytes
// it could not send), so after a stall longer than the gateway needs to notice, the page reads
// what is left: the connection must end within a few seconds. Then a new such page comes.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/websocket/stream.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace soak {

class StalledViewer {
public:
    StalledViewer(boost::asio::io_context &io, boost::asio::ip::tcp::endpoint gateway, std::string server,
                  double stall_seconds);
    void start();
    void stop();
    // Stalls that ended with the gateway's cut-off, and those the gateway let go on.
    uint64_t cut_offs() const { return cut_offs_; }
    uint64_t kept() const { return kept_; }
    bool connected() const { return socket_ != nullptr; }

private:
    void connect();
    void drain();
    void read_rest();

    boost::asio::io_context &io_;
    boost::asio::ip::tcp::endpoint gateway_;
    std::string server_, watch_;
    double stall_seconds_;
    std::unique_ptr<boost::beast::websocket::stream<boost::beast::tcp_stream>> socket_;
    boost::asio::steady_timer timer_;
    std::vector<char> scratch_;
    uint64_t cut_offs_ = 0, kept_ = 0;
    bool stopped_ = false, draining_ = false;
};

}  // namespace soak
