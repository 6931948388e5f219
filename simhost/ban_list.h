// Who may not join: auth ids (banid) and IPv4 addresses (addip), as the engine keeps them in memory.
#pragma once

#include <set>
#include <string>

namespace simhost {

class BanList {
public:
    // Minutes are taken but not counted down: the simulated server keeps every ban while it runs.
    void ban_id(const std::string &auth_id) { ids_.insert(auth_id); }
    void ban_ip(const std::string &ip) { ips_.insert(ip); }
    bool remove_id(const std::string &auth_id) { return ids_.erase(auth_id) > 0; }
    bool remove_ip(const std::string &ip) { return ips_.erase(ip) > 0; }
    bool id_banned(const std::string &auth_id) const { return ids_.count(auth_id) > 0; }
    bool ip_banned(const std::string &ip) const { return ips_.count(ip) > 0; }
    // A client's address is "IP:PORT"; its IP decides.
    bool address_banned(const std::string &address) const { return ip_banned(address.substr(0, address.find(':'))); }
    const std::set<std::string> &ids() const { return ids_; }
    const std::set<std::string> &ips() const { return ips_; }

private:
    std::set<std::string> ids_;
    std::set<std::string> ips_;
};

}  // namespace simhost
