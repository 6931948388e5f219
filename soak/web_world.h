// What the web soak's driver knows of the gateway's servers, which its viewers check their states
// against: which servers exist, and when each last started over on purpose (a replay seeked, a
// server dropped from the configuration and watched again), after which its record count may
// fall; and the faults the viewers have found.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace soak {

using WebClock = std::chrono::steady_clock;

class WebWorld {
public:
    static constexpr std::chrono::seconds kSettleTime{5};  // for a restart to reach every viewer

    void add_server(const std::string &name, bool replay);
    const std::vector<std::string> &names() const { return names_; }
    bool is_replay(const std::string &name) const;
    // Served (not removed from the configuration) right now.
    bool present(const std::string &name) const;
    void set_present(const std::string &name, bool present);
    // A restart on purpose: its record count may fall until kSettleTime after now.
    void restarted(const std::string &name);
    // Whether it restarted after `since` (less the settle time).
    bool restarted_since(const std::string &name, WebClock::time_point since) const;

    uint64_t states = 0;  // every viewer's, so far

    void fault(const std::string &what);
    const std::vector<std::string> &faults() const { return faults_; }
    uint64_t fault_count() const { return fault_count_; }

private:
    struct Server {
        bool replay = false, present = true;
        WebClock::time_point restarted{};
    };
    std::vector<std::string> names_;
    std::map<std::string, Server> servers_;
    std::vector<std::string> faults_;  // the first few, in full
    uint64_t fault_count_ = 0;
};

}  // namespace soak
