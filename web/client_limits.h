// Fair shares of the gateway's connections: each client address may hold so many HTTP connections
// and so many WebSockets, and the last slots are kept for addresses that hold few, so that one
// address (or a few) at its maximum never keeps another client out. An IPv6 client is counted by
// its /64, the block one host is given.
#pragma once

#include <boost/asio/ip/address.hpp>

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace web {

struct ClientCounts;

class ClientLimits {
public:
    enum class Kind { http, websocket };
    struct Caps {
        size_t http = 64;        // a browser opens six; a page and a few tools stay far below
        size_t websockets = 16;  // one per open page
        size_t total = 2000;     // every address together
    };
    // The last twentieth of the total (100 of 2000) only for an address holding fewer than
    // kFewConnections: a page and a tool or two.
    static constexpr size_t kReservedShare = 20;
    static constexpr size_t kFewConnections = 4;

    // One connection's place in the counts, given back when it ends.
    class Slot {
    public:
        Slot() = default;
        Slot(Slot &&other) noexcept { *this = std::move(other); }
        Slot &operator=(Slot &&other) noexcept;
        ~Slot() { release(); }
        explicit operator bool() const { return counts_ != nullptr; }
        const std::string &client() const { return client_; }
        void release();

    private:
        friend class ClientLimits;
        std::shared_ptr<ClientCounts> counts_;  // outlives the limits if a slot does
        std::string client_;
        Kind kind_ = Kind::http;
    };

    explicit ClientLimits(Caps caps);
    // An address whose connections carry many clients (a reverse proxy): no cap but the total.
    void add_unlimited(const boost::asio::ip::address &address);

    // The name a client is counted under: the IPv4 address, or the IPv6 address's /64.
    static std::string client_of(const boost::asio::ip::address &address);
    // A slot of that kind for the client; an empty one when it may open no more.
    Slot take(const std::string &client, Kind kind);
    // Open connections now, of every client.
    size_t total() const;

private:
    Caps caps_;
    std::shared_ptr<ClientCounts> counts_;
};

}  // namespace web
