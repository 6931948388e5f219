#include "web/rcon/server_link.h"

#include <boost/asio/post.hpp>
#include <cstdio>
#include <utility>

#include "web/rcon/rcon_answer.h"

namespace web::rcon {

namespace asio = boost::asio;
using boost::system::error_code;
using Outcome = Answer::Outcome;

namespace {

// "HOST:PORT" with a port 1..65535 (a bracketed IPv6 host keeps its brackets off).
bool split_target(const std::string &text, std::string *host, std::string *port) {
    const size_t colon = text.rfind(':');
    int number = 0;
    if (colon == std::string::npos || colon == 0 || !parse_port(text.substr(colon + 1), &number))
        return false;
    *host = text.substr(0, colon);
    if (host->size() > 2 && host->front() == '[' && host->back() == ']')
        *host = host->substr(1, host->size() - 2);
    *port = text.substr(colon + 1);
    return true;
}

Outcome outcome_of(LinkState state) {
    switch (state) {
        case LinkState::password_refused:
            return Outcome::password_refused;
        case LinkState::banned:
            return Outcome::banned;
        default:
            return Outcome::stopped;
    }
}

}  // namespace

ServerLink::ServerLink(asio::io_context &io, std::string name)
    : io_(io),
      name_(std::move(name)),
      socket_(io),
      resolver_(io),
      pace_timer_(io),
      deadline_timer_(io),
      quiet_timer_(io) {}

void ServerLink::configure(const ServerAddress &server) {
    watched_host_ = server.host;
    rcon_setting_ = server.setting("rcon");
    password_file_.set_path(server.setting("rcon-password-file"));
    check_password_file();
    update_target();
}

void ServerLink::set_game_port(int port) {
    game_port_ = port;
    update_target();
}

void ServerLink::check_password_file() {
    if (!password_file_.refresh())
        return;
    if (password_file_.unusable())
        note("its rcon password file cannot be used (too large, or a quote in the password)");
    if (refused_ && password_file_.password() != refused_password_) {
        refused_ = false;
        note("the rcon password file changed; rcon is used again");
    }
    if (state() != LinkState::ready)
        stop_all(state());
    else
        pump();
}

LinkState ServerLink::state() const {
    if (banned_)
        return LinkState::banned;
    if (refused_)
        return LinkState::password_refused;
    return password_file_.password().empty() ? LinkState::no_password : LinkState::ready;
}

// A new address starts afresh: the ban and the challenge were that address's.
void ServerLink::update_target() {
    const std::string target = !rcon_setting_.empty() ? rcon_setting_
                               : game_port_ > 0       ? watched_host_ + ":" + std::to_string(game_port_)
                                                      : std::string();
    if (target == target_)
        return;
    target_ = target;
    have_endpoint_ = false;
    banned_ = false;
    challenge_.clear();
    resolve();
}

void ServerLink::resolve() {
    std::string host, port;
    if (target_.empty() || !split_target(target_, &host, &port)) {
        if (!target_.empty())
            note("its rcon address is not HOST:PORT");
        return;
    }
    const std::string wanted = target_;
    auto self = shared_from_this();
    resolver_.async_resolve(host, port,
                            [self, wanted](const error_code &error, asio::ip::udp::resolver::results_type found) {
                                if (self->closed_ || wanted != self->target_)
                                    return;
                                if (error || found.empty()) {
                                    self->note("its rcon address does not resolve");
                                    return;
                                }
                                self->endpoint_ = *found.begin();
                                error_code ignored;
                                self->socket_.close(ignored);
                                self->socket_.open(self->endpoint_.protocol(), ignored);
                                self->have_endpoint_ = !ignored;
                                if (self->have_endpoint_)
                                    self->receive();
                                self->pump();
                            });
}

void ServerLink::send(std::string command, Done done) {
    const LinkState now = state();
    if (closed_ || now != LinkState::ready)
        return answer_later(std::move(done), closed_ ? Outcome::stopped : outcome_of(now));
    if (queue_.size() >= limits_.queue)
        return answer_later(std::move(done), Outcome::queue_full);
    // The engine drops a request this long without a word: it is never sent.
    if (command_request("4294967295", password_file_.password(), command).size() - 4 > LONGEST_REQUEST)
        return answer_later(std::move(done), Outcome::stopped);
    queue_.push_back({std::move(command), std::move(done)});
    pump();
}

void ServerLink::pump() {
    if (closed_ || phase_ != Phase::idle || queue_.empty())
        return;
    if (state() != LinkState::ready)
        return stop_all(state());
    if (!have_endpoint_) {
        // No address yet (the SERVER record has not come): the command cannot go anywhere.
        if (target_.empty())
            while (!queue_.empty()) {
                answer_later(std::move(queue_.front().done), Outcome::stopped);
                queue_.pop_front();
            }
        return;
    }
    Pending next = std::move(queue_.front());
    queue_.pop_front();
    start(std::move(next));
}

void ServerLink::start(Pending pending) {
    current_ = std::move(pending);
    retried_ = false;
    if (challenge_.empty())
        request_challenge();
    else
        send_command();
}

void ServerLink::request_challenge() {
    phase_ = Phase::challenge;
    transmit(challenge_request());
}

void ServerLink::send_command() {
    phase_ = Phase::answer;
    collected_.clear();
    answered_ = false;
    transmit(command_request(challenge_, password_file_.password(), current_.command));
}

// Two datagrams at most in any window: the engine's limit is shared with every query tool.
void ServerLink::transmit(std::string bytes) {
    const auto now = std::chrono::steady_clock::now();
    const auto at = sent_.size() < 2 ? now : std::max(now, sent_.front() + limits_.window);
    auto self = shared_from_this();
    pace_timer_.expires_at(at);
    pace_timer_.async_wait([self, bytes = std::move(bytes)](const error_code &error) {
        if (error || self->closed_)
            return;
        self->sent_.push_back(std::chrono::steady_clock::now());
        while (self->sent_.size() > 2)
            self->sent_.pop_front();
        error_code ignored;
        self->socket_.send_to(asio::buffer(bytes), self->endpoint_, 0, ignored);
        self->arm_deadline();
    });
}

void ServerLink::receive() {
    auto self = shared_from_this();
    socket_.async_receive_from(asio::buffer(buffer_), sender_, [self](const error_code &error, size_t size) {
        if (error == asio::error::operation_aborted || self->closed_)
            return;
        if (!error && self->sender_ == self->endpoint_)
            self->on_datagram(self->buffer_.data(), size);
        self->receive();
    });
}

void ServerLink::on_datagram(const char *data, size_t size) {
    const Datagram datagram = read_datagram(data, size);
    if (datagram.kind == Datagram::Kind::challenge && phase_ == Phase::challenge) {
        challenge_ = datagram.text;
        send_command();
    } else if (datagram.kind == Datagram::Kind::no_challenge && phase_ == Phase::answer) {
        challenge_.clear();
        if (retried_)
            return finish(Outcome::timeout);
        retried_ = true;
        request_challenge();
    } else if (datagram.kind == Datagram::Kind::print) {
        on_print(datagram.text);
    }
}

// A refusal is the whole of an answer, the first datagram; a late one still counts.
void ServerLink::on_print(const std::string &text) {
    const Refusal refusal = phase_ == Phase::answer && answered_ ? Refusal::none : refusal_in(text);
    if (refusal == Refusal::banned) {
        banned_ = true;
        note(describe(LinkState::banned));
        return stop_all(LinkState::banned);
    }
    if (refusal == Refusal::password) {
        refused_ = true;
        refused_password_ = password_file_.password();
        note("rcon password refused; no command is sent until its password file changes");
        return stop_all(LinkState::password_refused);
    }
    if (phase_ != Phase::answer)
        return;
    answered_ = true;
    collected_.append(text, 0, limits_.largest_answer - collected_.size());
    if (collected_.size() >= limits_.largest_answer)
        return finish(Outcome::ok, std::move(collected_));
    arm_quiet();
}

void ServerLink::arm_deadline() {
    auto self = shared_from_this();
    const Phase phase = phase_;
    deadline_timer_.expires_after(limits_.wait);
    deadline_timer_.async_wait([self, phase](const error_code &error) {
        if (error || self->closed_ || self->phase_ != phase)
            return;
        if (self->answered_)
            self->finish(Outcome::ok, std::move(self->collected_));
        else
            self->finish(Outcome::timeout);
    });
}

void ServerLink::arm_quiet() {
    auto self = shared_from_this();
    quiet_timer_.expires_after(limits_.quiet);
    quiet_timer_.async_wait([self](const error_code &error) {
        if (!error && !self->closed_ && self->phase_ == Phase::answer)
            self->finish(Outcome::ok, std::move(self->collected_));
    });
}

void ServerLink::finish(Outcome outcome, std::string output) {
    if (phase_ == Phase::idle || phase_ == Phase::resolving)
        return;
    phase_ = Phase::idle;
    deadline_timer_.cancel();
    quiet_timer_.cancel();
    answer_later(std::move(current_.done), outcome, outcome == Outcome::ok ? std::move(output) : std::string());
    current_ = Pending{};
    auto self = shared_from_this();
    asio::post(io_, [self] { self->pump(); });
}

// The command in flight and every queued one end with the reason.
void ServerLink::stop_all(LinkState why) {
    finish(outcome_of(why));
    while (!queue_.empty()) {
        answer_later(std::move(queue_.front().done), outcome_of(why));
        queue_.pop_front();
    }
}

void ServerLink::close() {
    stop_all(LinkState::no_password);
    closed_ = true;
    error_code ignored;
    socket_.close(ignored);
    resolver_.cancel();
    pace_timer_.cancel();
    deadline_timer_.cancel();
    quiet_timer_.cancel();
}

void ServerLink::answer_later(Done done, Outcome outcome, std::string output) {
    if (!done)
        return;
    asio::post(io_, [done = std::move(done), outcome, output = std::move(output)]() mutable {
        done(Answer{outcome, std::move(output)});
    });
}

// Never the password: only what happened.
void ServerLink::note(const std::string &what) const {
    std::fprintf(stderr, "orlex_web: %s: %s\n", name_.c_str(), what.c_str());
}

}  // namespace web::rcon
