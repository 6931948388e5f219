#include "soak/web_viewer.h"

#include <boost/asio/connect.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/json/parse.hpp>

namespace soak {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace json = boost::json;
using error_code = boost::system::error_code;

WebViewer::WebViewer(asio::io_context &io, asio::ip::tcp::endpoint gateway, WebWorld &world, uint64_t number,
                     Ended ended)
    : socket_(io), gateway_(gateway), world_(world), number_(number), ended_(std::move(ended)) {}

void WebViewer::start(const std::string &server) {
    watching_ = server;
    beast::get_lowest_layer(socket_).expires_after(std::chrono::seconds(30));
    beast::get_lowest_layer(socket_).async_connect(gateway_, [self = shared_from_this()](error_code error) {
        if (error)
            return self->refused("connect", error);
        self->socket_.async_handshake("127.0.0.1", "/ws", [self](error_code error) {
            beast::get_lowest_layer(self->socket_).expires_never();
            if (error)
                return self->refused("open a WebSocket", error);
            self->open_ = true;
            self->socket_.text(true);
            self->watch(self->watching_);
            self->read();
        });
    });
}

void WebViewer::watch(const std::string &server) {
    if (!open_)
        return;
    watching_ = server;
    watch_since_ = WebClock::now();
    settled_ = false;
    send("{\"watch\":\"" + server + "\"}");
}

void WebViewer::seek_somewhere(double share) {
    if (!open_ || !world_.is_replay(watching_) || replay_length_ms_ <= 0)
        return;
    world_.restarted(watching_);
    send("{\"replay\":\"" + watching_ +
         "\",\"seek\":" + std::to_string(static_cast<long long>(share * replay_length_ms_)) + ",\"play\":true}");
}

void WebViewer::leave() {
    leaving_ = true;
    error_code ignored;
    beast::get_lowest_layer(socket_).socket().close(ignored);
    end();
}

bool WebViewer::settled_on(const std::string &server, WebClock::time_point since) const {
    return open_ && settled_ && watching_ == server && settled_at_ <= since;
}

size_t WebViewer::most_records(const std::string &server) const {
    const auto found = seen_.find(server);
    return found == seen_.end() ? 0 : found->second.records;
}

void WebViewer::send(std::string text) {
    outgoing_.push_back(std::move(text));
    if (outgoing_.size() == 1)
        write_next();
}

void WebViewer::write_next() {
    socket_.async_write(asio::buffer(outgoing_.front()), [self = shared_from_this()](error_code error, size_t) {
        if (error)
            return self->end();
        self->outgoing_.pop_front();
        if (!self->outgoing_.empty())
            self->write_next();
    });
}

void WebViewer::read() {
    socket_.async_read(incoming_, [self = shared_from_this()](error_code error, size_t) {
        if (error)
            return self->end();
        self->take(beast::buffers_to_string(self->incoming_.data()));
        self->incoming_.consume(self->incoming_.size());
        self->read();
    });
}

void WebViewer::take(const std::string &text) {
    const std::string who = "viewer " + std::to_string(number_) + ": ";
    error_code error;
    const json::value message = json::parse(text, error);
    const json::object *object = error ? nullptr : message.if_object();
    const json::value *type = object ? object->if_contains("type") : nullptr;
    if (!type || !type->is_string())
        return world_.fault(who + "a message that is not a gateway message: " + text.substr(0, 80));
    if (type->get_string() != "state")
        return;
    const json::value *state_value = object->if_contains("state");
    const json::object *state = state_value ? state_value->if_object() : nullptr;
    const json::value *name_value = state ? state->if_contains("name") : nullptr;
    const json::value *records_value = state ? state->if_contains("records") : nullptr;
    if (!name_value || !name_value->is_string() || !records_value || !records_value->is_int64())
        return world_.fault(who + "a state without a name or a record count");
    const std::string name(name_value->get_string());
    const size_t records = static_cast<size_t>(records_value->get_int64());
    ++states_;
    ++world_.states;
    const WebClock::time_point now = WebClock::now();
    if (name == watching_ && !settled_) {
        settled_ = true;
        settled_at_ = now;
    } else if (name != watching_ && settled_) {
        world_.fault(who + "a state of " + name + " while watching " + watching_ + " (its state had come)");
    }
    Seen &seen = seen_[name];
    if (records < seen.records && !world_.restarted_since(name, seen.at))
        world_.fault(who + name + "'s record count fell from " + std::to_string(seen.records) + " to " +
                     std::to_string(records) + " though it did not start over");
    seen.records = records;
    seen.at = now;
    const json::value *replay = state->if_contains("replay");
    if (name == watching_ && replay && replay->is_object()) {
        const json::value *length = replay->as_object().if_contains("length_ms");
        replay_length_ms_ = length && length->is_number() ? length->to_number<double>() : 0;
    }
}

void WebViewer::refused(const char *what, const boost::system::error_code &error) {
    if (!leaving_)
        world_.fault("viewer " + std::to_string(number_) + ": cannot " + what + ": " + error.message());
    end();
}

void WebViewer::end() {
    const bool unexpected = open_ && !leaving_;
    open_ = false;
    if (ended_once_)
        return;
    ended_once_ = true;
    if (unexpected)
        world_.fault("viewer " + std::to_string(number_) + ": the gateway ended its connection");
    error_code ignored;
    beast::get_lowest_layer(socket_).socket().close(ignored);
    if (ended_)
        ended_();
}

}  // namespace soak
