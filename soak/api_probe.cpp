#include "soak/api_probe.h"

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>
#include <boost/json/parse.hpp>

#include <memory>

namespace soak {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using error_code = boost::system::error_code;

namespace {

struct Exchange {
    explicit Exchange(asio::io_context &io) : stream(io) {}
    beast::tcp_stream stream;
    http::request<http::empty_body> request;
    http::response<http::string_body> response;
    beast::flat_buffer buffer;
    std::function<void(const boost::json::value &)> answer;
    void fail() { answer(boost::json::value()); }
};

boost::json::value parsed(const std::string &body) {
    error_code error;
    boost::json::value value = boost::json::parse(body, error);
    return error ? boost::json::value() : value;
}

}  // namespace

long long records_of(const boost::json::value &answer) {
    const boost::json::object *object = answer.if_object();
    const boost::json::value *records = object ? object->if_contains("records") : nullptr;
    return records && records->is_int64() ? records->get_int64() : -1;
}

void ask_api(asio::io_context &io, asio::ip::tcp::endpoint gateway, const std::string &path,
             std::function<void(const boost::json::value &)> take) {
    auto exchange = std::make_shared<Exchange>(io);
    exchange->answer = std::move(take);
    exchange->request = {http::verb::get, path, 11};
    exchange->request.set(http::field::host, "127.0.0.1");
    exchange->stream.expires_after(std::chrono::seconds(10));
    exchange->stream.async_connect(gateway, [exchange](error_code error) {
        if (error)
            return exchange->fail();
        http::async_write(exchange->stream, exchange->request, [exchange](error_code error, size_t) {
            if (error)
                return exchange->fail();
            http::async_read(exchange->stream, exchange->buffer, exchange->response,
                             [exchange](error_code error, size_t) {
                                 exchange->answer(error ? boost::json::value() : parsed(exchange->response.body()));
                                 error_code ignored;
                                 exchange->stream.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
                                 exchange->stream.close();
                             });
        });
    });
}

}  // namespace soak
