// The well-behaved client: connected for the whole run, reading everything as it comes, every
// record checked by the cycle check.
#pragma once

#include <boost/asio.hpp>
#include <cstdint>
#include <string>

#include "soak/cycle_check.h"
#include "stream/records.h"

namespace soak {

class ReportClient {
public:
    ReportClient(boost::asio::io_context &io, int port, CycleRules rules);

    // Connects (retrying while the listener is not yet open) and reads from then on.
    void start();
    bool connected() const { return connected_; }
    // The connection ended after it was made: a failure for this client.
    bool lost() const { return lost_; }
    std::uint64_t bytes() const { return bytes_; }
    const CycleCheck &check() const { return check_; }
    // SERVER_SAY records whose text holds the fragment.
    std::uint64_t says_seen() const { return says_seen_; }
    void count_says_holding(const std::string &fragment) { say_fragment_ = fragment; }

private:
    void connect();
    void read();
    void take(const records::Record &record);

    boost::asio::ip::tcp::socket socket_;
    boost::asio::steady_timer retry_;
    int port_;
    CycleCheck check_;
    records::RecordStream stream_;
    char buffer_[16384];
    bool connected_ = false, lost_ = false;
    std::uint64_t bytes_ = 0, says_seen_ = 0;
    std::string say_fragment_;
};

}  // namespace soak
