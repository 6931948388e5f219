// One HTTP connection: GET and HEAD of the page's files and the API, or the upgrade to a viewer's
// WebSocket. Headers are bounded, bodies refused, paths matched exactly.
#pragma once

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>

#include <memory>
#include <optional>

#include "web/closable.h"

namespace web {

class Gateway;

class HttpSession final : public std::enable_shared_from_this<HttpSession>, public Closable {
public:
    static constexpr size_t kLongestHeader = size_t{8} * 1024;
    // A whole request must come within this; an idle kept-alive connection is closed after it.
    static constexpr std::chrono::seconds kRequestTime{30};

    HttpSession(boost::asio::ip::tcp::socket &&socket, Gateway &gateway);
    ~HttpSession();
    void run() { read(); }
    void close_now() override;

private:
    void read();
    void answer_error(boost::system::error_code error);
    void answer();
    template <class Response>
    void send(std::shared_ptr<Response> response);

    boost::beast::tcp_stream stream_;
    Gateway &gateway_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::empty_body>> parser_;
};

}  // namespace web
