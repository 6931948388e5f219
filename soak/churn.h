// Clients that come and go, as admin tools do all day: each connects, maybe asks for a report,
// reads a little or nothing, and leaves (sometimes with a reset), several a second.
#pragma once

#include <boost/asio.hpp>
#include <cstdint>
#include <memory>
#include <random>
#include <set>

namespace soak {

class Churn {
public:
    Churn(boost::asio::io_context &io, int port, double per_second, std::uint64_t seed);

    void start();
    // No new clients, and those connected leave now: for a quiet moment to take figures in.
    void pause();
    void resume();
    std::uint64_t visits() const { return visits_; }
    std::uint64_t requests() const { return requests_; }

private:
    struct Visit;
    void schedule();
    void visit();
    void leave(const std::shared_ptr<Visit> &visit);

    boost::asio::io_context &io_;
    boost::asio::steady_timer next_;
    int port_;
    double per_second_;
    std::mt19937_64 random_;
    std::set<std::shared_ptr<Visit>> visiting_;
    bool paused_ = true;
    std::uint64_t visits_ = 0, requests_ = 0;
};

}  // namespace soak
