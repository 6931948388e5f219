// One page of the web soak: a WebSocket client of the gateway that watches a server, switches to
// others, steers replays, and checks every state it receives: it is of the server it watches
// (once the first of that server has come), and no server's record count falls unless that
// server started over on purpose. It remembers the most records it has seen of each server, which
// the driver compares with what the gateway's API said some seconds before.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/websocket/stream.hpp>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "soak/web_world.h"

namespace soak {

class WebViewer : public std::enable_shared_from_this<WebViewer> {
public:
    using Ended = std::function<void()>;
    WebViewer(boost::asio::io_context &io, boost::asio::ip::tcp::endpoint gateway, WebWorld &world, uint64_t number,
              Ended ended);

    void start(const std::string &server);
    void watch(const std::string &server);
    // {"replay":NAME,"seek":MS,"play":true}; MS within what its states said the replay holds.
    void seek_somewhere(double share);
    void leave();

    bool open() const { return open_; }
    // Watching the server since before `since`, and had a state of it by then.
    bool settled_on(const std::string &server, WebClock::time_point since) const;
    const std::string &watching() const { return watching_; }
    size_t most_records(const std::string &server) const;
    uint64_t number() const { return number_; }
    uint64_t states() const { return states_; }

private:
    void send(std::string text);
    void write_next();
    void read();
    void take(const std::string &text);
    void refused(const char *what, const boost::system::error_code &error);
    void end();

    boost::beast::websocket::stream<boost::beast::tcp_stream> socket_;
    boost::asio::ip::tcp::endpoint gateway_;
    WebWorld &world_;
    uint64_t number_;
    Ended ended_;
    boost::beast::flat_buffer incoming_;
    std::deque<std::string> outgoing_;
    std::string watching_;
    WebClock::time_point watch_since_{}, settled_at_{};
    bool settled_ = false, open_ = false, ended_once_ = false, leaving_ = false;
    struct Seen {
        size_t records = 0;
        WebClock::time_point at{};
    };
    std::map<std::string, Seen> seen_;
    double replay_length_ms_ = 0;
    uint64_t states_ = 0;
};

}  // namespace soak
