// Accepts the dashboard's connections, each into its own HTTP session.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <string>

namespace web {

class Gateway;

class Listener {
public:
    Listener(boost::asio::io_context &io, Gateway &gateway);
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
};

}  // namespace web
