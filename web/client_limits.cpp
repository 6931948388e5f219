#include "web/client_limits.h"

namespace web {

struct ClientCounts {
    struct Held {
        size_t http = 0, websockets = 0;
    };
    std::map<std::string, Held> by_client;  // only clients holding something
    std::set<std::string> unlimited;
    size_t total = 0;

    size_t &count(Held &held, ClientLimits::Kind kind) {
        return kind == ClientLimits::Kind::http ? held.http : held.websockets;
    }
    void give_back(const std::string &client, ClientLimits::Kind kind) {
        const auto found = by_client.find(client);
        if (found == by_client.end())
            return;
        --count(found->second, kind);
        --total;
        if (found->second.http == 0 && found->second.websockets == 0)
            by_client.erase(found);
    }
};

ClientLimits::Slot &ClientLimits::Slot::operator=(Slot &&other) noexcept {
    if (this != &other) {
        release();
        counts_ = std::move(other.counts_);
        client_ = std::move(other.client_);
        kind_ = other.kind_;
        other.counts_ = nullptr;
    }
    return *this;
}

void ClientLimits::Slot::release() {
    if (counts_)
        counts_->give_back(client_, kind_);
    counts_ = nullptr;
}

ClientLimits::ClientLimits(Caps caps) : caps_(caps), counts_(std::make_shared<ClientCounts>()) {}

void ClientLimits::add_unlimited(const boost::asio::ip::address &address) {
    counts_->unlimited.insert(client_of(address));
}

std::string ClientLimits::client_of(const boost::asio::ip::address &address) {
    if (address.is_v4())
        return address.to_string();
    const boost::asio::ip::address_v6 v6 = address.to_v6();
    if (v6.is_v4_mapped())
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, v6).to_string();
    boost::asio::ip::address_v6::bytes_type bytes = v6.to_bytes();
    for (size_t at = 8; at < bytes.size(); ++at)
        bytes[at] = 0;
    return boost::asio::ip::address_v6(bytes).to_string() + "/64";
}

ClientLimits::Slot ClientLimits::take(const std::string &client, Kind kind) {
    ClientCounts &counts = *counts_;
    if (counts.total >= caps_.total)
        return {};
    if (!counts.unlimited.count(client)) {
        const auto found = counts.by_client.find(client);
        const ClientCounts::Held held = found == counts.by_client.end() ? ClientCounts::Held() : found->second;
        const size_t cap = kind == Kind::http ? caps_.http : caps_.websockets;
        const size_t reserve_from = caps_.total - caps_.total / kReservedShare;
        if ((kind == Kind::http ? held.http : held.websockets) >= cap ||
            (counts.total >= reserve_from && held.http + held.websockets >= kFewConnections))
            return {};
    }
    ++counts.count(counts.by_client[client], kind);
    ++counts.total;
    Slot slot;
    slot.counts_ = counts_;
    slot.client_ = client;
    slot.kind_ = kind;
    return slot;
}

size_t ClientLimits::total() const { return counts_->total; }

}  // namespace web
