// Accepts the dashboard's connections, each into its own HTTP session; a connection beyond its
// address's share is closed at once.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <string>

#include "web/http_session.h"

namespace web {

class Gateway;
struct Options;

class Listener {
public:
    Listener(boost::asio::io_context &io, Gateway &gateway, const Options &options);
    // Binds host:port; false with the reason.
    bool open(const std::string &host, int port, std::string *error);
    unsigned short port() const;
    void start() { accept(); }
    void stop();

private:
    void accept();

    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::steady_timer pause_;  // out of descriptors: try again shortly, never spin
    Gateway &gateway_;
    FrontDoor door_;
};

}  // namespace web
