#include "soak/stalled_viewer.h"

namespace soak {

namespace asio = boost::asio;
namespace beast = boost::beast;
using error_code = boost::system::error_code;

namespace {
const int kReceiveBuffer = 4096;
const auto kDrainTime = std::chrono::seconds(10);
}  // namespace

StalledViewer::StalledViewer(asio::io_context &io, asio::ip::tcp::endpoint gateway, std::string server,
                             double stall_seconds)
    : io_(io),
      gateway_(gateway),
      server_(std::move(server)),
      watch_("{\"watch\":\"" + server_ + "\"}"),
      stall_seconds_(stall_seconds),
      timer_(io),
      scratch_(1 << 16) {}

void StalledViewer::start() { connect(); }

void StalledViewer::stop() {
    stopped_ = true;
    timer_.cancel();
    if (socket_) {
        error_code ignored;
        beast::get_lowest_layer(*socket_).socket().close(ignored);
    }
}

void StalledViewer::connect() {
    socket_ = std::make_unique<beast::websocket::stream<beast::tcp_stream>>(io_);
    draining_ = false;
    auto &tcp = beast::get_lowest_layer(*socket_).socket();
    error_code error;
    tcp.open(asio::ip::tcp::v4(), error);
    tcp.set_option(asio::socket_base::receive_buffer_size(kReceiveBuffer), error);
    auto *socket = socket_.get();
    beast::get_lowest_layer(*socket_).async_connect(gateway_, [this, socket](error_code error) {
        if (error || stopped_ || socket != socket_.get())
            return;
        socket_->async_handshake("127.0.0.1", "/ws", [this, socket](error_code error) {
            if (error || stopped_ || socket != socket_.get())
                return;
            socket_->text(true);
            socket_->async_write(asio::buffer(watch_), [](error_code, size_t) {});
        });
    });
    timer_.expires_after(std::chrono::microseconds(static_cast<long long>(stall_seconds_ * 1e6)));
    timer_.async_wait([this](error_code error) {
        if (!error && !stopped_)
            drain();
    });
}

// Reads everything, past the WebSocket: a page cut off reaches the end of its connection.
void StalledViewer::drain() {
    draining_ = true;
    timer_.expires_after(kDrainTime);
    timer_.async_wait([this](error_code error) {
        if (error || stopped_ || !draining_)
            return;
        ++kept_;
        draining_ = false;
        error_code ignored;
        beast::get_lowest_layer(*socket_).socket().close(ignored);
        connect();
    });
    read_rest();
}

void StalledViewer::read_rest() {
    auto *socket = socket_.get();
    beast::get_lowest_layer(*socket_).socket().async_read_some(
        asio::buffer(scratch_), [this, socket](error_code error, size_t) {
            if (stopped_ || socket != socket_.get() || !draining_)
                return;
            if (!error)
                return read_rest();
            ++cut_offs_;
            draining_ = false;
            timer_.cancel();
            connect();
        });
}

}  // namespace soak
