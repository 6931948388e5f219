#include "web/http_session.h"

#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/websocket/rfc6455.hpp>

#include "web/access.h"
#include "web/gateway.h"
#include "web/metrics.h"
#include "web/state_json.h"
#include "web/static_files.h"
#include "web/viewer.h"

namespace web {

namespace beast = boost::beast;
namespace http = beast::http;
using error_code = boost::system::error_code;
using Request = http::request<http::empty_body>;
using Response = http::response<http::string_body>;

namespace {

const char kApiPrefix[] = "/api/servers/";

std::shared_ptr<Response> response(const Request &request, http::status status, const std::string &type,
                                   std::string body) {
    auto answer = std::make_shared<Response>(status, request.version());
    answer->set(http::field::server, "orlex_web");
    answer->set(http::field::content_type, type);
    answer->set("X-Content-Type-Options", "nosniff");
    answer->set(http::field::cache_control, "no-store");
    answer->keep_alive(request.keep_alive());
    answer->body() = std::move(body);
    answer->prepare_payload();
    if (request.method() == http::verb::head)
        answer->body().clear();  // the length of what GET would send, and no body
    return answer;
}

std::shared_ptr<Response> text(const Request &request, http::status status, const std::string &body) {
    return response(request, status, "text/plain; charset=utf-8", body + "\n");
}

std::shared_ptr<Response> json(const Request &request, http::status status, std::string body) {
    return response(request, status, "application/json", std::move(body));
}

std::shared_ptr<Response> static_file(const Request &request, const StaticFile &file) {
    auto answer = response(request, http::status::ok, file.content_type, std::string(file.data, file.size));
    answer->set(http::field::cache_control, "no-cache");
    answer->set("Content-Security-Policy",
                "default-src 'self'; connect-src 'self' ws: wss:; img-src 'self' data:; frame-ancestors 'none'");
    answer->set("Referrer-Policy", "no-referrer");  // a ?token= must not leave in a referrer
    return answer;
}

// A WebSocket from another site's page would read the dashboard with the admin's cookie.
bool same_origin(const Request &request) {
    const auto origin = request.find(http::field::origin);
    if (origin == request.end())
        return true;  // not a browser
    std::string_view from = origin->value();
    for (std::string_view scheme : {"http://", "https://"})
        if (from.substr(0, scheme.size()) == scheme)
            return from.substr(scheme.size()) == request[http::field::host];
    return false;
}

std::shared_ptr<Response> api(const Request &request, std::string_view path, Gateway &gateway) {
    if (path == "/api/servers" || path == "/api/servers/")
        return json(request, http::status::ok, servers_text(gateway.servers()));
    const Source *server = gateway.find(std::string(path.substr(sizeof(kApiPrefix) - 1)));
    if (!server)
        return json(request, http::status::not_found, "{\"error\":\"no such server\"}");
    return json(request, http::status::ok, detail_text(*server));
}

}  // namespace

HttpSession::HttpSession(boost::asio::ip::tcp::socket &&socket, Gateway &gateway)
    : stream_(std::move(socket)), gateway_(gateway) {
    gateway_.opened(this);
}

HttpSession::~HttpSession() { gateway_.closed(this); }

void HttpSession::close_now() {
    error_code ignored;
    stream_.socket().close(ignored);
}

void HttpSession::read() {
    parser_.emplace();
    parser_->header_limit(kLongestHeader);
    parser_->body_limit(0);
    stream_.expires_after(kRequestTime);
    http::async_read(stream_, buffer_, *parser_, [self = shared_from_this()](error_code error, size_t) {
        if (error)
            return self->answer_error(error);
        self->answer();
    });
}

void HttpSession::answer_error(error_code error) {
    if (error == http::error::end_of_stream || error == beast::error::timeout || error == boost::asio::error::eof ||
        error == boost::asio::error::connection_reset || error == boost::asio::error::operation_aborted)
        return;  // the peer left, or took too long
    Request request;
    request.keep_alive(false);
    if (error == http::error::header_limit)
        return send(text(request, http::status::request_header_fields_too_large, "request header too large"));
    send(text(request, http::status::bad_request, "bad request"));
}

void HttpSession::answer() {
    Request request = parser_->release();
    const std::string_view target = request.target();
    const std::string_view path = target_path(target);
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
        auto refused = text(request, http::status::method_not_allowed, "only GET and HEAD");
        refused->set(http::field::allow, "GET, HEAD");
        return send(refused);
    }
    const Access access = check_access(gateway_.token(), request[http::field::authorization],
                                       request[http::field::cookie], target);
    if (!access.allowed) {
        auto refused = text(request, http::status::unauthorized, "this dashboard needs its token");
        refused->set(http::field::www_authenticate, "Bearer");
        return send(refused);
    }
    if (path == "/ws" && beast::websocket::is_upgrade(request)) {
        if (!same_origin(request))
            return send(text(request, http::status::forbidden, "WebSocket from another origin"));
        gateway_.closed(this);  // the viewer counts the connection from here on
        return std::make_shared<Viewer>(std::move(stream_), gateway_)->run(std::move(request));
    }
    std::shared_ptr<Response> answer;
    if (path == "/api/servers" || path.substr(0, sizeof(kApiPrefix) - 1) == kApiPrefix)
        answer = api(request, path, gateway_);
    else if (path == "/metrics")
        answer = response(request, http::status::ok, kMetricsContentType, metrics_text(gateway_.live_servers()));
    else if (const StaticFile *file = find_static_file(std::string(path)))
        answer = static_file(request, *file);
    else
        answer = text(request, http::status::not_found, "not found");
    if (access.from_query)
        answer->set(http::field::set_cookie, token_cookie(gateway_.token()));
    send(answer);
}

template <class Message>
void HttpSession::send(std::shared_ptr<Message> message) {
    stream_.expires_after(kRequestTime);
    http::async_write(stream_, *message, [self = shared_from_this(), message](error_code error, size_t) {
        if (error || !message->keep_alive()) {
            error_code ignored;
            self->stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
            return;
        }
        self->read();
    });
}

}  // namespace web
