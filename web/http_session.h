// One HTTP connection: GET and HEAD of the page's files and the API, POST of an action, or the
// upgrade to a viewer's WebSocket. Headers are bounded and must come within kRequestTime, bodies
// refused but an action's (kLongestBody), paths matched exactly; each client address holds only its
// share of the connections.
#pragma once

#include <boost/asio/ip/address.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "web/access/identity.h"
#include "web/client_limits.h"
#include "web/closable.h"

namespace web {

class Gateway;
struct Options;

// What every connection is checked against, set once at start.
struct FrontDoor {
    explicit FrontDoor(const Options &options);

    ClientLimits limits;
    std::vector<boost::asio::ip::address> trusted_proxies;
    std::vector<std::string> own_names;  // the Host names answered without a token, lower case
};

class HttpSession final : public std::enable_shared_from_this<HttpSession>, public Closable {
public:
    static constexpr size_t kLongestHeader = size_t{8} * 1024;
    static constexpr size_t kLongestBody = 4096;
    // The request line and headers must come within this (a trickle of bytes does not extend it);
    // an idle kept-alive connection is closed after it.
    static constexpr std::chrono::seconds kRequestTime{10};

    // `slot` counts the connection for the peer's address (for a proxy's, its own, unlimited).
    HttpSession(boost::asio::ip::tcp::socket &&socket, Gateway &gateway, FrontDoor &door, ClientLimits::Slot slot);
    ~HttpSession();
    void run() { read(); }
    void close_now() override;

private:
    void read();
    void answer_error(boost::system::error_code error);
    void header_read();
    void upgrade(boost::beast::http::request<boost::beast::http::string_body> request, const access::Identity &identity,
                 bool is_public);
    void answer();
    void answer_history(const std::shared_ptr<boost::beast::http::request<boost::beast::http::string_body>> &request,
                        bool is_public, const std::string &cookie);
    void answer_replays(const std::shared_ptr<boost::beast::http::request<boost::beast::http::string_body>> &request,
                        const access::Identity &identity, bool is_public, const std::string &cookie);
    // The request's client: the peer, or for a trusted proxy the client it forwarded for.
    bool count_client(const boost::beast::http::request<boost::beast::http::string_body> &request);
    bool own_host(std::string_view host) const;
    template <class Response>
    void send(std::shared_ptr<Response> response);

    boost::beast::tcp_stream stream_;
    Gateway &gateway_;
    FrontDoor &door_;
    ClientLimits::Slot slot_;
    boost::asio::ip::address peer_;
    std::string local_name_;  // the address the client reached us at, as a Host would name it
    bool from_proxy_ = false;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
};

}  // namespace web
