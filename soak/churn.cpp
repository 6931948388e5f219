#include "soak/churn.h"

#include <array>
#include <string>

namespace soak {

namespace asio = boost::asio;
using asio::ip::tcp;

struct Churn::Visit {
    explicit Visit(asio::io_context &io) : socket(io), stay(io) {}
    tcp::socket socket;
    asio::steady_timer stay;
    std::array<char, 512> buffer{};
};

namespace {

// Requests a client may send; never SET_REFRESH, which would change the cycle for everyone.
const char *const REQUESTS[] = {"GET_SERVER\n", "GET_PLAYER\n", "GET_BOMB\n", "GET_HOSTAGE\n", "HELLO\n"};

}  // namespace

Churn::Churn(asio::io_context &io, int port, double per_second, std::uint64_t seed)
    : io_(io), next_(io), port_(port), per_second_(per_second), random_(seed) {}

void Churn::start() { resume(); }

void Churn::resume() {
    if (!paused_ || per_second_ <= 0)
        return;
    paused_ = false;
    schedule();
}

void Churn::pause() {
    paused_ = true;
    next_.cancel();
    for (const std::shared_ptr<Visit> &visit : std::set<std::shared_ptr<Visit>>(visiting_))
        leave(visit);
}

void Churn::schedule() {
    std::exponential_distribution<double> gap(per_second_);
    next_.expires_after(std::chrono::microseconds(static_cast<long long>(gap(random_) * 1e6)));
    next_.async_wait([this](const boost::system::error_code &error) {
        if (error || paused_)
            return;
        visit();
        schedule();
    });
}

void Churn::visit() {
    auto visit = std::make_shared<Visit>(io_);
    visiting_.insert(visit);
    ++visits_;
    visit->socket.async_connect(
        {asio::ip::address_v4::loopback(), static_cast<unsigned short>(port_)},
        [this, visit](const boost::system::error_code &error) {
            if (error || !visiting_.count(visit)) {
                leave(visit);
                return;
            }
            const unsigned choice = static_cast<unsigned>(random_() % 4);  // 0: silent; 1: asks; 2, 3: asks and reads
            if (choice > 0) {
                const char *request = REQUESTS[random_() % (sizeof(REQUESTS) / sizeof(REQUESTS[0]))];
                boost::system::error_code ignored;
                asio::write(visit->socket, asio::buffer(std::string(request)), ignored);
                ++requests_;
            }
            if (choice >= 2)
                visit->socket.async_read_some(asio::buffer(visit->buffer), [visit](const boost::system::error_code &,
                                                                                   size_t) {});  // holds the buffer
            visit->stay.expires_after(std::chrono::milliseconds(random_() % 1500));
            visit->stay.async_wait([this, visit](const boost::system::error_code &stay_error) {
                if (!stay_error)
                    leave(visit);
            });
        });
}

void Churn::leave(const std::shared_ptr<Visit> &visit) {
    if (!visiting_.erase(visit))
        return;
    visit->stay.cancel();
    boost::system::error_code ignored;
    if (random_() % 4 == 0)  // some leave with a reset
        visit->socket.set_option(asio::socket_base::linger(true, 0), ignored);
    visit->socket.close(ignored);
}

}  // namespace soak
