#include "web/listener.h"

#include <cstdio>
#include <memory>

#include "web/gateway.h"
#include "web/http_session.h"

namespace web {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

Listener::Listener(asio::io_context &io, Gateway &gateway, const Options &options)
    : acceptor_(io), pause_(io), gateway_(gateway), door_(options) {}

bool Listener::open(const std::string &host, int port, std::string *error) {
    error_code code;
    const asio::ip::address address = asio::ip::make_address(host == "localhost" ? "127.0.0.1" : host, code);
    if (code) {
        *error = "--listen: \"" + host + "\" is not an IP address";
        return false;
    }
    const tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
    acceptor_.open(endpoint.protocol(), code);
    if (!code)
        acceptor_.set_option(tcp::acceptor::reuse_address(true), code);
    if (!code)
        acceptor_.bind(endpoint, code);
    if (!code)
        acceptor_.listen(asio::socket_base::max_listen_connections, code);
    if (code)
        *error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + code.message();
    return !code;
}

unsigned short Listener::port() const {
    error_code ignored;
    return acceptor_.local_endpoint(ignored).port();
}

void Listener::stop() {
    error_code ignored;
    pause_.cancel();
    acceptor_.close(ignored);
}

void Listener::accept() {
    acceptor_.async_accept([this](error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted)
            return;
        if (error) {
            pause_.expires_after(std::chrono::milliseconds(100));
            pause_.async_wait([this](error_code stopped) {
                if (!stopped)
                    accept();
            });
            return;
        }
        error_code ignored;
        const tcp::endpoint peer = socket.remote_endpoint(ignored);
        ClientLimits::Slot slot;
        if (!ignored && gateway_.may_open())
            slot = door_.limits.take(ClientLimits::client_of(peer.address()), ClientLimits::Kind::http);
        if (slot) {
            // a state's last segment must not wait for the previous one's ACK
            socket.set_option(tcp::no_delay(true), ignored);
            std::make_shared<HttpSession>(std::move(socket), gateway_, door_, std::move(slot))->run();
        }
        accept();  // the refused socket closes as it goes out of scope
    });
}

}  // namespace web
