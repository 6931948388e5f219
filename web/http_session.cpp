#include "web/http_session.h"

#include <boost/asio/post.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/websocket/rfc6455.hpp>
#include <boost/json/serialize.hpp>
#include <boost/json/value.hpp>

#include <algorithm>
#include <chrono>

#include "web/access.h"
#include "web/access/csrf.h"
#include "web/access/public_json.h"
#include "web/actions/routes.h"
#include "web/gateway.h"
#include "web/handshake.h"
#include "web/history/history_api.h"
#include "web/log/event_json.h"
#include "web/metrics.h"
#include "web/options.h"
#include "web/replay_request.h"
#include "web/state_json.h"
#include "web/static_files.h"
#include "web/viewer.h"
#include "web/wall_clock.h"

namespace web {

namespace beast = boost::beast;
namespace http = beast::http;
using error_code = boost::system::error_code;
using Request = http::request<http::string_body>;
using Response = http::response<http::string_body>;

namespace {

const char kApiPrefix[] = "/api/servers/";
constexpr std::string_view kMapImage = "/map.png";

std::shared_ptr<Response> response(const Request &request, http::status status, const std::string &type,
                                   std::string body) {
    auto answer = std::make_shared<Response>(status, request.version());
    answer->set(http::field::server, kServerName);
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

// The picture changes only with the map file: revalidated by its ETag, kept by the browser meanwhile.
std::shared_ptr<Response> map_image(const Request &request, const maps::MapPicture *picture) {
    if (!picture || !picture->found)
        return response(request, http::status::not_found, "text/plain; charset=utf-8", "no map picture\n");
    const bool unchanged = request[http::field::if_none_match] == picture->etag;
    auto answer = response(request, unchanged ? http::status::not_modified : http::status::ok, "image/png",
                           unchanged ? std::string() : picture->png);
    answer->set(http::field::etag, picture->etag);
    answer->set(http::field::cache_control, "private, max-age=60");
    return answer;
}

// A WebSocket from another site's page would read the dashboard with the admin's cookie.
bool same_origin(const Request &request) {
    const auto origin = request.find(http::field::origin);
    if (origin == request.end())
        return true;  // not a browser
    return access::origin_is_host(origin->value(), request[http::field::host]);
}

// ?since=SEQ: a decimal number; absent or unreadable, every kept event.
uint64_t since_seq(std::string_view target) {
    std::string since;
    if (!query_value(target, "since", &since) || since.empty() || since.size() > 19)
        return 0;
    uint64_t seq = 0;
    for (char c : since) {
        if (c < '0' || c > '9')
            return 0;
        seq = seq * 10 + static_cast<uint64_t>(c - '0');
    }
    return seq;
}

std::shared_ptr<Response> api(const Request &request, std::string_view path, Gateway &gateway, bool is_public) {
    if (path == "/api/servers" || path == "/api/servers/")
        return json(
            request, http::status::ok,
            is_public ? access::public_servers_text(gateway.public_servers()) : servers_text(gateway.servers()));
    std::string_view name = path.substr(sizeof(kApiPrefix) - 1);
    const std::string_view events_suffix = "/events";
    const bool events =
        name.size() > events_suffix.size() && name.substr(name.size() - events_suffix.size()) == events_suffix;
    const bool picture_asked =
        name.size() > kMapImage.size() && name.substr(name.size() - kMapImage.size()) == kMapImage;
    if (events)
        name.remove_suffix(events_suffix.size());
    if (picture_asked)
        name.remove_suffix(kMapImage.size());
    const Source *server = gateway.find(std::string(name));
    if (!server || (is_public && !gateway.shown_to_public(std::string(name))))
        return json(request, http::status::not_found, "{\"error\":\"no such server\"}");
    // The log's events name players by auth id, and are live: the public has those of its delayed
    // state, without the ids.
    if (events && is_public) {
        std::string answer;
        if (!gateway.public_events(std::string(name), since_seq(request.target()), &answer))
            return json(request, http::status::service_unavailable,
                        "{\"error\":\"the public view shows each server as it was a while ago: not yet\"}");
        return json(request, http::status::ok, answer);
    }
    if (events)
        return json(request, http::status::ok, log::events_text(server->fold().events, since_seq(request.target())));
    const std::shared_ptr<const maps::MapPicture> picture = gateway.map_picture(*server);
    if (picture_asked)
        return map_image(request, picture.get());
    if (!is_public)
        return json(request, http::status::ok, detail_text(*server, picture.get()));
    const std::shared_ptr<const std::string> delayed = gateway.public_detail(std::string(name));
    if (!delayed)
        return json(request, http::status::service_unavailable,
                    "{\"error\":\"the public view shows each server as it was a while ago: not yet\"}");
    return json(request, http::status::ok, *delayed);
}

// The gateway's parts the user and action routes need.
actions::Gate gate_of(Gateway &gateway, const Options &options) {
    return {gateway.desk(),
            gateway.audit(),
            gateway.csrf(),
            [&gateway](const std::string &name) -> const view::State * {
                const Source *source = gateway.find(name);
                return source ? &source->state().view() : nullptr;
            },
            gateway.has_users(),
            gateway.public_view(),
            options.public_delay_seconds};
}

// An IPv4 client of a dual-stack socket arrives as ::ffff:a.b.c.d: the IPv4 address it is.
boost::asio::ip::address unmapped(const boost::asio::ip::address &address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, address.to_v6());
    return address;
}

// An address as a Host header names it: an IPv6 one in brackets.
std::string host_name(const boost::asio::ip::address &address) {
    return address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
}

// Only these read a body: an action, and a replay to open.
bool takes_body(std::string_view path) { return actions::takes_body(path) || path == kReplaysPath; }

std::string opened_replay_body(const ReplaysOnDemand::Result &opened) {
    if (opened.status != 200)
        return replay_error_body(opened.error);
    return boost::json::serialize(boost::json::object{{"name", opened.name},
                                                      {"position_ms", opened.position_ms},
                                                      {"length_ms", opened.length_ms},
                                                      {"playing", opened.playing}});
}

// A JSON answer given later (an action's, the history's, a replay's), with the cookie a ?token=
// asked for.
std::shared_ptr<Response> json_reply(const Request &request, int status, std::string body, const std::string &cookie) {
    auto answer = json(request, static_cast<http::status>(status), std::move(body));
    if (!cookie.empty())
        answer->set(http::field::set_cookie, cookie);
    return answer;
}

std::shared_ptr<Response> too_many(const Request &request, const char *what) {
    auto refused =
        text(request, http::status::too_many_requests, std::string("too many ") + what + " from this address");
    refused->keep_alive(false);
    return refused;
}

}  // namespace

FrontDoor::FrontDoor(const Options &options)
    : limits(ClientLimits::Caps{options.http_per_address, options.websockets_per_address, Gateway::kMaxConnections}),
      own_names{"localhost", "127.0.0.1", "[::1]"} {
    for (const std::string &proxy : options.trusted_proxies) {
        trusted_proxies.push_back(boost::asio::ip::make_address(proxy));
        limits.add_unlimited(trusted_proxies.back());
    }
    boost::system::error_code error;
    const boost::asio::ip::address listen = boost::asio::ip::make_address(options.listen_host, error);
    own_names.push_back(error ? options.listen_host : host_name(listen));
    own_names.insert(own_names.end(), options.allowed_hosts.begin(), options.allowed_hosts.end());
}

HttpSession::HttpSession(boost::asio::ip::tcp::socket &&socket, Gateway &gateway, FrontDoor &door,
                         ClientLimits::Slot slot)
    : stream_(std::move(socket)), gateway_(gateway), door_(door), slot_(std::move(slot)) {
    gateway_.opened(this);
    error_code ignored;
    peer_ = unmapped(stream_.socket().remote_endpoint(ignored).address());
    local_name_ = host_name(unmapped(stream_.socket().local_endpoint(ignored).address()));
    from_proxy_ =
        std::find(door_.trusted_proxies.begin(), door_.trusted_proxies.end(), peer_) != door_.trusted_proxies.end();
}

bool HttpSession::count_client(const Request &request) {
    if (!from_proxy_)
        return true;  // counted at the accept
    std::vector<std::string_view> forwarded;
    for (auto [field, end] = request.equal_range("X-Forwarded-For"); field != end; ++field)
        forwarded.push_back(field->value());
    const std::string client = ClientLimits::client_of(forwarded_client(peer_, forwarded, door_.trusted_proxies));
    if (client == slot_.client())
        return true;
    // A proxy's connection may carry another client with each request.
    ClientLimits::Slot moved = door_.limits.take(client, ClientLimits::Kind::http);
    if (!moved)
        return false;
    slot_ = std::move(moved);
    return true;
}

bool HttpSession::own_host(std::string_view host) const {
    return host_is_one_of(host, door_.own_names) || host_is_one_of(host, {local_name_});
}

HttpSession::~HttpSession() { gateway_.closed(this); }

void HttpSession::close_now() {
    error_code ignored;
    stream_.socket().close(ignored);
}

void HttpSession::read() {
    parser_.emplace();
    parser_->header_limit(kLongestHeader);
    parser_->body_limit(kLongestBody);
    stream_.expires_after(kRequestTime);
    http::async_read_header(stream_, buffer_, *parser_, [self = shared_from_this()](error_code error, size_t) {
        if (error)
            return self->answer_error(error);
        self->header_read();
    });
}

// Only an action's POST has a body; any other request with one is refused.
void HttpSession::header_read() {
    if (parser_->is_done())
        return answer();
    const auto &header = parser_->get();
    if (header.method() != http::verb::post || !takes_body(target_path(header.target())))
        return answer_error(http::error::body_limit);
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
    auto request = std::make_shared<Request>(parser_->release());
    const std::string_view target = request->target();
    const std::string_view path = target_path(target);
    if (!count_client(*request))
        return send(too_many(*request, "connections"));
    // Without users, a page of another site could reach us under its own name pointed here.
    if (!gateway_.has_users() && !own_host((*request)[http::field::host]))
        return send(text(*request, http::status::misdirected_request,
                         "this dashboard answers only for its own names (orlex_web --allowed-host NAME)"));
    const bool post = request->method() == http::verb::post;
    if (request->method() != http::verb::get && request->method() != http::verb::head && !(post && takes_body(path))) {
        auto refused = text(*request, http::status::method_not_allowed, "only GET and HEAD");
        refused->set(http::field::allow, "GET, HEAD");
        return send(refused);
    }
    const access::Identity identity =
        gateway_.identify((*request)[http::field::authorization], (*request)[http::field::cookie], target);
    const bool is_public = gateway_.has_users() && !identity.user && gateway_.public_view();
    if (gateway_.has_users() && !identity.user && !is_public) {
        auto refused = post ? json(*request, http::status::unauthorized, actions::error_body("this needs a token"))
                            : text(*request, http::status::unauthorized, "this dashboard needs its token");
        refused->set(http::field::www_authenticate, "Bearer");
        return send(refused);
    }
    if (path == "/ws" && beast::websocket::is_upgrade(*request))
        return upgrade(std::move(*request), identity, is_public);
    actions::Gate gate = gate_of(gateway_, gateway_.options());
    const actions::Asked asked{post,
                               target,
                               path,
                               identity,
                               is_public,
                               (*request)[http::field::origin],
                               (*request)[http::field::host],
                               (*request)["X-CSRF-Token"],
                               request->body()};
    const std::string cookie = identity.via == TokenVia::query ? token_cookie(identity.token) : "";
    const bool routed = actions::route(gate, asked, [self = shared_from_this(), request, cookie](actions::Reply reply) {
        self->send(json_reply(*request, reply.status, std::move(reply.body), cookie));
    });
    if (routed)
        return;
    if (history::is_history_path(path))
        return answer_history(request, is_public, cookie);
    if (path == kReplaysPath)
        return answer_replays(request, identity, is_public, cookie);
    std::shared_ptr<Response> answer;
    if (path == "/api/servers" || path.substr(0, sizeof(kApiPrefix) - 1) == kApiPrefix)
        answer = api(*request, path, gateway_, is_public);
    else if (path == "/metrics" && is_public)
        answer = text(*request, http::status::unauthorized, "the metrics need a token");
    else if (path == "/metrics")
        answer = response(*request, http::status::ok, kMetricsContentType,
                          metrics_text(gateway_.live_servers(), gateway_.metrics_players()) + gateway_.alert_metrics() +
                              gateway_.log_metrics());
    else if (const StaticFile *file = find_static_file(std::string(path)))
        answer = static_file(*request, *file);
    else
        answer = text(*request, http::status::not_found, "not found");
    if (!cookie.empty())
        answer->set(http::field::set_cookie, cookie);
    send(answer);
}

// Read and bounded here, answered on the history thread, sent from the event loop again.
void HttpSession::answer_history(const std::shared_ptr<Request> &request, bool is_public, const std::string &cookie) {
    const auto reply = [request, cookie](int status, std::string body) {
        return json_reply(*request, status, std::move(body), cookie);
    };
    history::HistoryWriter *writer = gateway_.history();
    if (!writer)
        return send(reply(503, "{\"error\":\"no history is kept (orlex_web --history FILE)\"}"));
    const bool full = !is_public;
    history::Asked asked;
    history::Answer refusal;
    if (!history::read_request(request->target(), full, &asked, &refusal))
        return send(reply(refusal.status, std::move(refusal.body)));
    const int64_t now_ms = unix_ms_now();
    asked.record_dir = gateway_.options().record_dir;
    if (is_public)
        asked.shown_until_ms = now_ms - int64_t{gateway_.options().public_delay_seconds} * 1000;
    auto loop = stream_.get_executor();
    // The session itself travels to the loop's handler: never released on the history thread.
    auto job = [self = shared_from_this(), reply, asked, full, now_ms, loop](history::HistoryStore &store) mutable {
        history::Answer answered = history::answer(asked, store, full, now_ms);
        boost::asio::post(loop,
                          [self = std::move(self), reply = std::move(reply), answered = std::move(answered)]() mutable {
                              self->send(reply(answered.status, std::move(answered.body)));
                          });
    };
    if (!writer->ask(std::move(job)))
        send(reply(503, "{\"error\":\"the history is busy: try again\"}"));
}

// Checked here; opened (or found open) by the gateway, at once or once its file is read.
void HttpSession::answer_replays(const std::shared_ptr<Request> &request, const access::Identity &identity,
                                 bool is_public, const std::string &cookie) {
    const auto reply = [request, cookie](int status, std::string body) {
        return json_reply(*request, status, std::move(body), cookie);
    };
    const ReplayCaller caller{request->method() == http::verb::post,
                              is_public,
                              gateway_.has_users(),
                              identity,
                              gateway_.csrf(),
                              (*request)[http::field::origin],
                              (*request)[http::field::host],
                              (*request)["X-CSRF-Token"]};
    ReplayAsk ask;
    ReplayRefusal refusal;
    if (!read_replay_request(caller, request->body(), &ask, &refusal))
        return send(reply(refusal.status, std::move(refusal.body)));
    ReplaysOnDemand *replays = gateway_.replays_on_demand();
    if (!replays)
        return send(reply(404, replay_error_body("no recordings are kept here (orlex_web --record DIR)")));
    replays->open(ask.file, ask.point, [self = shared_from_this(), reply](const ReplaysOnDemand::Result &opened) {
        self->send(reply(opened.status, opened_replay_body(opened)));
    });
}

void HttpSession::upgrade(Request request, const access::Identity &identity, bool is_public) {
    if (!valid_websocket_key(request[http::field::sec_websocket_key]))
        return send(text(request, http::status::bad_request, "Sec-WebSocket-Key must be 16 bytes in base64"));
    if (!same_origin(request))
        return send(text(request, http::status::forbidden, "WebSocket from another origin"));
    ClientLimits::Slot viewer_slot = door_.limits.take(slot_.client(), ClientLimits::Kind::websocket);
    if (!viewer_slot)
        return send(too_many(request, "dashboard pages"));
    gateway_.closed(this);  // the viewer counts the connection from here on
    slot_.release();
    auto viewer = std::make_shared<Viewer>(std::move(stream_), gateway_, std::move(viewer_slot),
                                           identity.user ? *identity.user : access::User{}, is_public);
    viewer->run(http::request<http::empty_body>(std::move(request.base())));
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
