// The servers' logs over UDP (--log-listen): each server sends them to the gateway once told
// `logaddress_add GATEWAY PORT`. A datagram is taken only from a watched server's address, its own
// host (any port: the log leaves from the game port) or the `log=HOST:PORT` its line gives; others
// are counted and dropped, with one line on standard error a minute at most. A host that several
// watched servers share says nothing of which one sent: its datagrams need each line's `log=`.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "web/config.h"
#include "web/log/log_datagram.h"

namespace web::log {

struct ReceiverCounters {
    uint64_t datagrams = 0;
    uint64_t foreign = 0;    // from an address no watched server has
    uint64_t malformed = 0;  // from a watched server, but not a log datagram
    uint64_t ambiguous = 0;  // from a host several watched servers share, without a `log=` of its port
};

class LogReceiver {
public:
    // A watched server's log text (secrets scrubbed) as each datagram brings it.
    using Deliver = std::function<void(const std::string &name, const std::string &text)>;
    // A datagram from a watched server that was not a log datagram.
    using Malformed = std::function<void(const std::string &name)>;

    LogReceiver(boost::asio::io_context &io, Deliver deliver, Malformed malformed);
    // Binds "ADDR:PORT"; false with the reason.
    bool start(const std::string &listen, std::string *error);
    void stop();
    // Where this server's datagrams come from, once its names are resolved.
    void watch(const ServerAddress &server);
    void forget(const std::string &name);

    const ReceiverCounters &counters() const { return counters_; }
    // The port bound (useful with port 0).
    int port() const;
    // The counters in Prometheus's text format.
    std::string metrics_text() const;

private:
    void receive();
    void received(size_t size);
    const std::string *sender_name() const;
    bool sender_shared() const;
    void add_source(const std::string &name, const std::string &host, const std::string &port, bool exact);
    void remember_source(const std::string &name, const std::string &address, const std::string &port, bool exact);
    void note_foreign();
    void note_ambiguous();

    boost::asio::ip::udp::socket socket_;
    boost::asio::ip::udp::resolver resolver_;
    boost::asio::ip::udp::endpoint sender_;
    std::array<char, kLongestLogDatagram + 1> buffer_;      // one byte more: a longer datagram is told apart
    std::map<std::string, std::string> exact_;              // "ip:port" -> server name
    std::map<std::string, std::set<std::string>> by_host_;  // "ip" -> the names of the servers there
    std::map<std::string, uint64_t> generation_;            // a forgotten server's late resolutions are ignored
    Deliver deliver_;
    Malformed malformed_;
    ReceiverCounters counters_;
    std::chrono::steady_clock::time_point foreign_noted_{};
    uint64_t foreign_at_note_ = 0;
    std::chrono::steady_clock::time_point ambiguous_noted_{};
    bool stopped_ = false;
};

}  // namespace web::log
