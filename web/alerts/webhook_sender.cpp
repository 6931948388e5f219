#include "web/alerts/webhook_sender.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/host_name_verification.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>

#include <cstdio>
#include <optional>

namespace web {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

// One post, from resolving its host to the answer's status, tried again after a backoff.
class WebhookSender::Delivery : public std::enable_shared_from_this<Delivery> {
public:
    Delivery(WebhookSender &owner, WebhookPost post)
        : owner_(owner), post_(std::move(post)), resolver_(owner.io_), timer_(owner.io_) {}

    void attempt() {
        plain_.emplace(owner_.io_);
        tls_.reset();
        answer_ = {};
        buffer_.clear();
        plain_->expires_after(kTimeout);
        auto self = shared_from_this();
        resolver_.async_resolve(post_.url.host, std::to_string(post_.url.port),
                                [self](beast::error_code error, tcp::resolver::results_type found) {
                                    if (error)
                                        return self->failed("cannot resolve " + self->post_.url.host);
                                    self->plain_->async_connect(
                                        found, [self](beast::error_code e, const tcp::endpoint &) {
                                            if (e)
                                                return self->failed("cannot connect: " + e.message());
                                            self->connected();
                                        });
                                });
    }

private:
    void connected() {
        request_ = {http::verb::post, post_.url.target, 11};
        request_.set(http::field::host, post_.url.host);
        request_.set(http::field::user_agent, "orlex_web");
        request_.set(http::field::content_type, "application/json");
        request_.set(http::field::connection, "close");
        request_.body() = post_.body;
        request_.prepare_payload();
        if (!post_.url.https)
            return write(*plain_);
        tls_.emplace(std::move(*plain_), owner_.tls_);
        tls_->set_verify_mode(asio::ssl::verify_peer);
        tls_->set_verify_callback(asio::ssl::host_name_verification(post_.url.host));
        if (!SSL_set_tlsext_host_name(tls_->native_handle(), post_.url.host.c_str()))
            return failed("cannot name the host for TLS");
        beast::get_lowest_layer(*tls_).expires_after(kTimeout);
        auto self = shared_from_this();
        tls_->async_handshake(asio::ssl::stream_base::client, [self](beast::error_code error) {
            if (error)
                return self->failed("TLS: " + error.message());
            self->write(*self->tls_);
        });
    }

    template <class Stream>
    void write(Stream &stream) {
        auto self = shared_from_this();
        http::async_write(stream, request_, [self, &stream](beast::error_code error, size_t) {
            if (error)
                return self->failed("cannot send: " + error.message());
            http::async_read(stream, self->buffer_, self->answer_, [self](beast::error_code e, size_t) {
                if (e)
                    return self->failed("no answer: " + e.message());
                const unsigned status = self->answer_.result_int();
                if (status >= 200 && status < 300)
                    return self->owner_.done(self->post_, true, "");
                self->failed("answered " + std::to_string(status));
            });
        });
    }

    void failed(const std::string &why) {
        if (tries_ >= kRetries)
            return owner_.done(post_, false, why + " (after " + std::to_string(tries_ + 1) + " tries)");
        owner_.counts_.retries++;
        timer_.expires_after(kFirstBackoff * (1 << tries_));
        ++tries_;
        std::fprintf(stderr, "orlex_web: alert to %s: %s; trying again\n", post_.hook.c_str(), why.c_str());
        auto self = shared_from_this();
        timer_.async_wait([self](beast::error_code error) {
            if (!error)
                self->attempt();
        });
    }

    WebhookSender &owner_;
    WebhookPost post_;
    tcp::resolver resolver_;
    asio::steady_timer timer_;
    std::optional<beast::tcp_stream> plain_;
    std::optional<asio::ssl::stream<beast::tcp_stream>> tls_;
    http::request<http::string_body> request_;
    http::response<http::string_body> answer_;
    beast::flat_buffer buffer_;
    int tries_ = 0;
};

WebhookSender::WebhookSender(const std::string &ca_file, std::string *error)
    : work_(asio::make_work_guard(io_)), tls_(asio::ssl::context::tls_client) {
    beast::error_code code;
    if (ca_file.empty())
        tls_.set_default_verify_paths(code);
    else
        tls_.load_verify_file(ca_file, code);
    if (code && error)
        *error = "cannot load the certificates " + (ca_file.empty() ? std::string("of the system") : ca_file) + ": " +
                 code.message();
    thread_ = std::thread([this] { io_.run(); });
}

WebhookSender::~WebhookSender() {
    work_.reset();
    io_.stop();
    thread_.join();
}

void WebhookSender::post(WebhookPost post) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (pending_.size() >= kMostPending) {
            counts_.dropped++;
            std::fprintf(stderr, "orlex_web: alert dropped, %zu waiting already: %s\n", pending_.size(),
                         pending_.front().description.c_str());
            pending_.pop_front();
        }
        pending_.push_back(std::move(post));
    }
    asio::post(io_, [this] { next(); });
}

// One delivery at a time: a hanging webhook holds the rest back, but never the event loop.
void WebhookSender::next() {
    if (busy_)
        return;
    std::optional<WebhookPost> post;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (pending_.empty())
            return;
        post.emplace(std::move(pending_.front()));
        pending_.pop_front();
    }
    busy_ = true;
    std::make_shared<Delivery>(*this, std::move(*post))->attempt();
}

void WebhookSender::done(const WebhookPost &post, bool sent, const std::string &why) {
    if (sent) {
        counts_.sent++;
        std::fprintf(stderr, "orlex_web: alert sent to %s: %s\n", post.hook.c_str(), post.description.c_str());
    } else {
        counts_.failed++;
        std::fprintf(stderr, "orlex_web: alert to %s given up, %s: %s\n", post.hook.c_str(), why.c_str(),
                     post.description.c_str());
    }
    busy_ = false;
    asio::post(io_, [this] { next(); });
}

}  // namespace web
