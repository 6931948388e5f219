// The generator: N fake plug-ins on loopback, each a TCP listener the gateway connects to, sending
// a 32-player cstrike match's records at the plug-in's default pace (the server record every 2 s,
// players and objectives every 5 s, servers out of step). It runs on its own thread and keeps
// when each record was sent, so that a viewer can tell how long a record took to reach it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

namespace bench {

using Clock = std::chrono::steady_clock;

class PluginStreams {
public:
    // Listening at once; most_records bounds what each stream can send (then it goes quiet).
    PluginStreams(size_t streams, size_t most_records);
    ~PluginStreams();
    PluginStreams(const PluginStreams &) = delete;
    PluginStreams &operator=(const PluginStreams &) = delete;

    size_t size() const { return streams_.size(); }
    int port(size_t stream) const { return ports_[stream]; }
    // Waits for the gateway to connect to every stream; false with the reason when it does not in time.
    bool accept_all(std::chrono::seconds limit, std::string *error);
    // Starts sending, on the generator's thread.
    void start();
    void stop();

    // Records sent on a stream so far, and when record number `record` (from 1) was sent.
    size_t sent(size_t stream) const { return streams_[stream]->count.load(std::memory_order_acquire); }
    Clock::time_point sent_at(size_t stream, size_t record) const;
    uint64_t total_sent() const;
    // Sends that failed (the gateway closed a stream): a run with any is not a measurement.
    uint64_t failures() const { return failures_.load(); }

private:
    struct Stream {
        explicit Stream(boost::asio::io_context &io) : socket(io) {}
        boost::asio::ip::tcp::socket socket;
        std::unique_ptr<std::atomic<int64_t>[]> times;  // nanoseconds of the clock, by record number - 1
        std::atomic<size_t> count{0};
        double next_server = 0, next_cycle = 0;
    };
    void send_loop();
    void send(Stream &stream, const std::string &record);

    boost::asio::io_context io_;
    std::vector<std::unique_ptr<boost::asio::ip::tcp::acceptor>> acceptors_;
    std::vector<std::unique_ptr<Stream>> streams_;
    std::vector<int> ports_;
    size_t most_records_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> failures_{0};
};

}  // namespace bench
