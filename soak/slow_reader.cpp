#include "soak/slow_reader.h"

namespace soak {

namespace asio = boost::asio;
using asio::ip::tcp;

namespace {

const int RECEIVE_BUFFER = 4096;  // small, so that the plug-in's sends fill it soon
const auto TICK = std::chrono::milliseconds(100);
// More than the plug-in's socket can hold for this client (its send buffer grows to at most 4 MB,
// net.ipv4.tcp_wmem) plus this one's receive buffer: a stall this long overflows them.
const std::uint64_t STALL_BYTES = 6u << 20;
const auto AWAY = std::chrono::seconds(1);  // after a cut-off or a refused connection

}  // namespace

SlowReader::SlowReader(asio::io_context &io, int port, std::function<std::uint64_t()> stream_bytes)
    : socket_(io), timer_(io), port_(port), stream_bytes_(std::move(stream_bytes)) {}

void SlowReader::start() { resume(); }

void SlowReader::resume() {
    if (!paused_)
        return;
    paused_ = false;
    connect();
}

void SlowReader::pause() {
    paused_ = true;
    timer_.cancel();
    close();
}

void SlowReader::close() {
    boost::system::error_code ignored;
    socket_.close(ignored);
}

void SlowReader::connect() {
    socket_ = tcp::socket(socket_.get_executor());
    socket_.open(tcp::v4());
    socket_.set_option(asio::socket_base::receive_buffer_size(RECEIVE_BUFFER));
    socket_.async_connect({asio::ip::address_v4::loopback(), static_cast<unsigned short>(port_)},
                          [this](const boost::system::error_code &error) {
                              if (paused_ || error == asio::error::operation_aborted)
                                  return;
                              if (error) {
                                  come_back_later();
                                  return;
                              }
                              socket_.non_blocking(true);
                              stall_from_ = stream_bytes_();
                              tick();
                          });
}

// Stalls until the stream has carried more than the kernel holds for this client, then reads what
// has come; the end of the connection there means the plug-in cut it off.
void SlowReader::tick() {
    timer_.expires_after(TICK);
    timer_.async_wait([this](const boost::system::error_code &error) {
        if (error || paused_)
            return;
        if (stream_bytes_() - stall_from_ < STALL_BYTES) {
            tick();
            return;
        }
        if (drain()) {
            stall_from_ = stream_bytes_();
            tick();
            return;
        }
        ++cut_offs_;
        close();
        come_back_later();
    });
}

void SlowReader::come_back_later() {
    timer_.expires_after(AWAY);
    timer_.async_wait([this](const boost::system::error_code &error) {
        if (!error && !paused_)
            connect();
    });
}

bool SlowReader::drain() {
    for (;;) {
        boost::system::error_code error;
        socket_.read_some(asio::buffer(buffer_), error);
        if (error == asio::error::would_block)
            return true;
        if (error)
            return false;
    }
}

}  // namespace soak
