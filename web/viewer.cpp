#include "web/viewer.h"

#include <boost/asio/buffer.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/json/parse.hpp>
#include <boost/json/value.hpp>

#include <cstdio>

#include "web/gateway.h"
#include "web/handshake.h"

namespace web {
namespace {

double number_in(const boost::json::object &object, const char *key, double absent) {
    const boost::json::value *value = object.if_contains(key);
    return value && value->is_number() ? value->to_number<double>() : absent;
}

Gateway::ReplayControl replay_control(const boost::json::object &object) {
    Gateway::ReplayControl control;
    const boost::json::value *play = object.if_contains("play");
    if (play && play->is_bool())
        control.play = play->get_bool() ? 1 : 0;
    control.speed = number_in(object, "speed", 0);
    control.seek_ms = number_in(object, "seek", -1);
    return control;
}

}  // namespace

namespace beast = boost::beast;
namespace websocket = beast::websocket;
using error_code = boost::system::error_code;

Viewer::Viewer(beast::tcp_stream &&stream, Gateway &gateway, ClientLimits::Slot slot, access::User user, bool is_public)
    : socket_(std::move(stream)),
      gateway_(gateway),
      slot_(std::move(slot)),
      user_(std::move(user)),
      public_(is_public) {
    gateway_.opened(this);
}

Viewer::~Viewer() {
    gateway_.remove_viewer(this);
    gateway_.closed(this);
}

void Viewer::run(beast::http::request<beast::http::empty_body> request) {
    beast::get_lowest_layer(socket_).expires_never();  // the WebSocket keeps its own time limits
    websocket::stream_base::timeout timeout = websocket::stream_base::timeout::suggested(beast::role_type::server);
    timeout.idle_timeout = std::chrono::seconds(30);  // pinged half way: a page that answers nothing goes
    timeout.handshake_timeout = kHandshakeTime;
    answer_as_gateway(socket_);
    socket_.set_option(timeout);
    socket_.read_message_max(kLongestMessage);
    socket_.text(true);
    socket_.auto_fragment(false);  // a state is one frame
    error_code ignored;            // without it the kernel's own size: a page that never reads holds megabytes
    beast::get_lowest_layer(socket_).socket().set_option(boost::asio::socket_base::send_buffer_size(kSendBuffer),
                                                         ignored);
    socket_.async_accept(request, [self = shared_from_this()](error_code error) {
        if (error)
            return;
        if (self->closing_)
            return;
        self->open_ = true;
        self->gateway_.add_viewer(self);
        self->push_list(self->public_ ? self->gateway_.public_servers_message() : self->gateway_.servers_message());
        self->read();
    });
}

void Viewer::read() {
    socket_.async_read(incoming_, [self = shared_from_this()](error_code error, size_t) {
        if (error) {
            self->open_ = false;
            self->gateway_.remove_viewer(self.get());
            return;
        }
        self->take(beast::buffers_to_string(self->incoming_.data()));
        self->incoming_.clear();
        self->read();
    });
}

// {"watch":"NAME"} with a server the gateway watches, or {"replay":"NAME", "play":true|false,
// "speed":X, "seek":MS} for one served from a recording; anything else is ignored.
void Viewer::take(const std::string &text) {
    error_code error;
    const boost::json::value message = boost::json::parse(text, error);
    const boost::json::object *object = error ? nullptr : message.if_object();
    const boost::json::value *replay = object ? object->if_contains("replay") : nullptr;
    if (replay && replay->is_string() && !public_)  // the public may not steer what others see
        return gateway_.control_replay(std::string(replay->get_string()), replay_control(*object));
    const boost::json::value *watch = object ? object->if_contains("watch") : nullptr;
    if (!watch || !watch->is_string())
        return;
    const std::string name(watch->get_string());
    if (!gateway_.find(name) || (public_ && !gateway_.shown_to_public(name)))
        return;
    watching_ = name;
    if (public_)
        return push_state_once(gateway_.public_state_message(name));
    push_state(gateway_.state_message(name));
}

void Viewer::push_state_once(Message message) {
    if (!message || message == pushed_last_)
        return;
    pushed_last_ = message;
    push_state(std::move(message));
}

void Viewer::withdraw(const std::string &reason) {
    if (!withdrawn_.empty() || closing_)
        return;
    withdrawn_ = reason.empty() ? "closed" : reason;
    list_ = state_ = nullptr;
    if (!open_)
        return close_now();
    open_ = false;
    if (!writing_)
        write_next();  // nothing waits: the close frame goes now
}

void Viewer::push_list(Message message) { push(list_, std::move(message)); }
void Viewer::push_state(Message message) {
    if (open_ && message && writing_)
        ++states_behind_;
    push(state_, std::move(message));
}

bool Viewer::cut_off_when_behind() {
    if (!writing_)
        return false;
    const auto waited = std::chrono::steady_clock::now() - write_started_;
    if (waited > kLongestStall)
        std::fprintf(stderr, "orlex_web: a viewer took nothing for %lld s; cut off\n",
                     static_cast<long long>(kLongestStall.count()));
    else if (waited > kBehindStall && states_behind_ > kMostStatesBehind)
        std::fprintf(stderr, "orlex_web: a viewer took nothing for %lld s while %zu newer states came; cut off\n",
                     static_cast<long long>(kBehindStall.count()), states_behind_);
    else
        return false;
    abandoned_ = true;
    close_now();
    return true;
}

void Viewer::push(Message &slot, Message message) {
    if (!open_ || !message || cut_off_when_behind())
        return;
    slot = std::move(message);
    if (!writing_)
        write_next();
}

void Viewer::write_next() {
    if (!withdrawn_.empty() && !closing_) {
        closing_ = true;
        websocket::close_reason reason(websocket::close_code::policy_error, withdrawn_);
        socket_.async_close(reason, [self = shared_from_this()](error_code) { self->close_socket(); });
        // A page that does not answer the close frame keeps no hold on what it may no longer see.
        auto deadline = std::make_shared<boost::asio::steady_timer>(socket_.get_executor(), kCloseAnswerTime);
        deadline->async_wait([self = shared_from_this(), deadline](error_code) { self->close_socket(); });
        return;
    }
    Message &next = list_ ? list_ : state_;
    if (!next)
        return;
    writing_ = std::move(next);
    next = nullptr;
    write_started_ = std::chrono::steady_clock::now();
    states_behind_ = 0;
    socket_.async_write(boost::asio::buffer(*writing_), [self = shared_from_this()](error_code error, size_t) {
        self->writing_ = nullptr;
        if (error) {
            self->open_ = false;
            return;
        }
        self->write_next();
    });
}

void Viewer::close_now() {
    open_ = false;
    list_ = state_ = nullptr;
    if (closing_)
        return;
    closing_ = true;
    boost::asio::post(socket_.get_executor(), [self = shared_from_this()] { self->close_socket(); });
}

// Closed at the socket: a close frame would wait behind the writes that do not drain. A page cut
// off is reset, so that the kernel does not go on holding what it would never take.
void Viewer::close_socket() {
    gateway_.remove_viewer(this);
    error_code ignored;
    if (abandoned_)
        beast::get_lowest_layer(socket_).socket().set_option(boost::asio::socket_base::linger(true, 0), ignored);
    beast::get_lowest_layer(socket_).socket().close(ignored);
}

}  // namespace web
