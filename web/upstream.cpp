#include "web/upstream.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/write.hpp>

#include <cstdio>

namespace web {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

Upstream::Upstream(asio::io_context &io, const ServerAddress &address, size_t chat_lines, Listener listener,
                   Recorder *recorder)
    : resolver_(io),
      socket_(io),
      retry_timer_(io),
      silence_timer_(io),
      stale_timer_(io),
      fold_(address, chat_lines),
      state_(fold_.state),
      counters_(fold_.counters),
      limits_(address.name, fold_.counters),
      listener_(std::move(listener)) {
    state_.problem = "connecting";
    // Before the fold and the recorder: a record over the limits is neither shown nor recorded.
    pipeline_.set_check(
        [this](const records::Record &record) { return limits_.pass(record, std::chrono::steady_clock::now()); });
    pipeline_.subscribe(&fold_);
    pipeline_.subscribe(&liveness_);
    if (recorder) {
        recording_ = std::make_unique<RecordingTap>(*recorder, address.name, address.address());
        pipeline_.subscribe(recording_.get());
    }
}

void Upstream::start() { resolve(); }

void Upstream::stop() {
    stopped_ = true;
    listener_ = nullptr;
    resolver_.cancel();
    retry_timer_.cancel();
    silence_timer_.cancel();
    stale_timer_.cancel();
    error_code ignored;
    socket_.close(ignored);
}

void Upstream::arm_stale(std::chrono::steady_clock::time_point now) {
    state_.stale = now >= liveness_.stale_at();
    stale_timer_.expires_at(liveness_.stale_at());
    stale_timer_.async_wait([self = shared_from_this()](error_code error) {
        if (error || self->stopped_ || !self->state_.connected)
            return;
        self->state_.stale = true;
        self->tell();
    });
}

void Upstream::tell() {
    if (listener_)
        listener_();
}

void Upstream::arm_silence(std::chrono::seconds limit) {
    silence_timer_.expires_after(limit);
    silence_timer_.async_wait([self = shared_from_this(), limit](error_code error) {
        if (!error && !self->stopped_)
            self->drop(self->state_.connected ? "nothing received for " + std::to_string(limit.count()) + " s"
                                              : "no answer within " + std::to_string(limit.count()) + " s");
    });
}

void Upstream::resolve() {
    const ServerAddress &address = state_.address();
    resolver_.async_resolve(
        tcp::v4(), address.host, std::to_string(address.port),
        [self = shared_from_this()](error_code error, tcp::resolver::results_type endpoints) {
            if (self->stopped_)
                return;
            if (error)
                return self->drop("cannot resolve " + self->state_.address().host + ": " + error.message());
            self->connect(endpoints);
        });
}

void Upstream::connect(const tcp::resolver::results_type &endpoints) {
    arm_silence(kConnectTime);
    asio::async_connect(socket_, endpoints, [self = shared_from_this()](error_code error, const tcp::endpoint &) {
        if (self->stopped_)
            return;
        if (error)
            return self->drop(error == asio::error::operation_aborted ? "no answer" : error.message());
        self->connected();
    });
}

void Upstream::connected() {
    error_code ignored;  // without it a state only waits a little longer
    socket_.set_option(tcp::no_delay(true), ignored);
    if (ever_connected_)
        ++counters_.reconnects;
    ever_connected_ = true;
    pipeline_.new_connection();
    state_.connected = true;
    state_.problem.clear();
    liveness_.link_up(std::chrono::steady_clock::now());
    arm_stale(std::chrono::steady_clock::now());
    if (!flapping_)
        log_connected("");
    // The server record comes by itself every few seconds; asking gets the page a map at once.
    static const std::string ask = "GET_SERVER\n";
    asio::async_write(socket_, asio::buffer(ask), [](error_code, size_t) {});
    arm_silence(kSilence);
    tell();
    read();
}

void Upstream::read() {
    socket_.async_read_some(asio::buffer(buffer_), [self = shared_from_this()](error_code error, size_t size) {
        if (self->stopped_)
            return;
        if (error)
            return self->drop(error == asio::error::eof ? "the server closed the connection" : error.message());
        self->received(size);
    });
}

void Upstream::received(size_t size) {
    arm_silence(kSilence);
    bool broken = false;
    const size_t folded = pipeline_.feed(buffer_.data(), size, std::chrono::steady_clock::now(), &broken);
    if (broken) {
        ++counters_.overflows;
        return drop(records::RecordStream::overflow_reason());
    }
    if (folded > 0) {
        const auto now = std::chrono::steady_clock::now();
        arm_stale(now);
        backoff_.link_up(now);
        if (flapping_ && backoff_.steady(now)) {
            flapping_ = false;
            log_connected(" and steady again");
        }
        tell();
    }
    read();
}

void Upstream::drop(const std::string &reason) {
    if (waiting_)  // the same failure seen twice (a timer and the operation it ended)
        return;
    waiting_ = true;
    error_code ignored;
    socket_.close(ignored);
    silence_timer_.cancel();
    stale_timer_.cancel();
    const bool was_connected = state_.connected;
    state_.connected = false;
    state_.stale = false;
    state_.problem = reason;
    const auto now = std::chrono::steady_clock::now();
    // A link that fell before it was steady is one state, "failing", however often it comes back:
    // logged when it starts or its reason changes, not at every attempt.
    const bool fell_early = was_connected && !backoff_.steady(now);
    const bool changed = reason != reported_problem_ || (was_connected && !flapping_);
    if (was_connected)
        flapping_ = fell_early;
    const std::chrono::seconds wait = backoff_.next(now);
    if (changed)
        std::fprintf(stderr, "orlex_web: %s (%s): %s; trying again in %lld s%s\n", state_.address().name.c_str(),
                     state_.address().address().c_str(), reason.c_str(), static_cast<long long>(wait.count()),
                     fell_early ? ", then less often until a link stays up for a minute" : "");
    reported_problem_ = reason;
    tell();
    retry_timer_.expires_after(wait);
    retry_timer_.async_wait([self = shared_from_this()](error_code error) {
        if (!error && !self->stopped_)
            self->retry();
    });
}

void Upstream::log_connected(const char *how) {
    reported_problem_.clear();
    std::fprintf(stderr, "orlex_web: %s (%s) connected%s\n", state_.address().name.c_str(),
                 state_.address().address().c_str(), how);
}

void Upstream::retry() {
    waiting_ = false;
    socket_ = tcp::socket(socket_.get_executor());
    resolve();
}

}  // namespace web
