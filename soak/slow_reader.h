// A client that stops reading for long stretches: the plug-in must cut it off rather than queue
// for it without end; it notices when it reads again, and comes back.
#pragma once

#include <boost/asio.hpp>
#include <cstdint>
#include <functional>

namespace soak {

class SlowReader {
public:
    // stream_bytes: what a client that keeps up has received so far; this one stops reading until
    // that has grown by more than the kernel can hold for it.
    SlowReader(boost::asio::io_context &io, int port, std::function<std::uint64_t()> stream_bytes);

    void start();
    // Leaves now and stays away until resumed: for a quiet moment to take figures in.
    void pause();
    void resume();
    std::uint64_t cut_offs() const { return cut_offs_; }

private:
    void connect();
    void tick();
    void close();
    void come_back_later();

    boost::asio::ip::tcp::socket socket_;
    boost::asio::steady_timer timer_;
    int port_;
    std::function<std::uint64_t()> stream_bytes_;
    std::uint64_t stall_from_ = 0;  // stream_bytes when the current stall began
    bool paused_ = true;
    std::uint64_t cut_offs_ = 0;
    char buffer_[65536];
    bool drain();  // reads all there is; false when the connection has ended
};

}  // namespace soak
