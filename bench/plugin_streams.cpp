#include "bench/plugin_streams.h"

#include <boost/asio/write.hpp>

#include <algorithm>
#include <random>

#include "bench/match_records.h"

namespace bench {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

// The plug-in's defaults: the server record every 2 s, players and objectives every 5 s.
const double kServerPeriod = 2.0, kCyclePeriod = 5.0;

}  // namespace

PluginStreams::PluginStreams(size_t streams, size_t most_records) : most_records_(most_records) {
    for (size_t at = 0; at < streams; ++at) {
        auto acceptor = std::make_unique<tcp::acceptor>(io_, tcp::endpoint(asio::ip::address_v4::loopback(), 0));
        ports_.push_back(acceptor->local_endpoint().port());
        acceptors_.push_back(std::move(acceptor));
        streams_.push_back(std::make_unique<Stream>(io_));
        streams_.back()->times.reset(new std::atomic<int64_t>[most_records]);
    }
}

PluginStreams::~PluginStreams() { stop(); }

bool PluginStreams::accept_all(std::chrono::seconds limit, std::string *error) {
    size_t accepted = 0;
    for (size_t at = 0; at < streams_.size(); ++at)
        acceptors_[at]->async_accept(streams_[at]->socket, [&accepted](boost::system::error_code code) {
            if (!code)
                ++accepted;
        });
    io_.run_for(limit);
    io_.restart();
    acceptors_.clear();
    if (accepted == streams_.size()) {
        for (auto &stream : streams_)
            stream->socket.set_option(tcp::no_delay(true));
        return true;
    }
    *error = "the gateway connected to " + std::to_string(accepted) + " of " + std::to_string(streams_.size()) +
             " streams within " + std::to_string(limit.count()) + " s";
    return false;
}

void PluginStreams::start() {
    std::mt19937 phases(11);  // servers do not run in step
    for (auto &stream : streams_) {
        stream->next_server = std::uniform_real_distribution<double>(0, kServerPeriod)(phases);
        stream->next_cycle = std::uniform_real_distribution<double>(0, kCyclePeriod)(phases);
    }
    running_ = true;
    thread_ = std::thread([this] { send_loop(); });
}

void PluginStreams::stop() {
    running_ = false;
    if (thread_.joinable())
        thread_.join();
    for (auto &stream : streams_) {
        boost::system::error_code ignored;
        stream->socket.close(ignored);
    }
}

void PluginStreams::send_loop() {
    Match match;
    const Clock::time_point start = Clock::now();
    uint64_t server_records = 0;
    while (running_) {
        const double now = std::chrono::duration<double>(Clock::now() - start).count();
        double next_due = now + 0.1;
        for (auto &stream : streams_) {
            if (now >= stream->next_server) {
                send(*stream, samples::server("de_dust2", "bench " + std::to_string(++server_records)));
                stream->next_server += kServerPeriod;
            }
            if (now >= stream->next_cycle) {
                // One record per send, as the plug-in's ring spreads them.
                send(*stream, match.players());
                send(*stream, match.bomb());
                send(*stream, match.hostages());
                stream->next_cycle += kCyclePeriod;
            }
            next_due = std::min({next_due, stream->next_server, stream->next_cycle});
        }
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(next_due)));
    }
}

void PluginStreams::send(Stream &stream, const std::string &record) {
    const size_t number = stream.count.load(std::memory_order_relaxed);
    if (number >= most_records_)
        return;
    stream.times[number].store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    stream.count.store(number + 1, std::memory_order_release);
    boost::system::error_code error;
    asio::write(stream.socket, asio::buffer(record), error);
    if (error)
        ++failures_;
}

Clock::time_point PluginStreams::sent_at(size_t stream, size_t record) const {
    return Clock::time_point(Clock::duration(streams_[stream]->times[record - 1].load(std::memory_order_relaxed)));
}

uint64_t PluginStreams::total_sent() const {
    uint64_t total = 0;
    for (size_t at = 0; at < streams_.size(); ++at)
        total += sent(at);
    return total;
}

}  // namespace bench
