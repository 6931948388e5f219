#include "soak/web_world.h"

#include <cstdio>

namespace soak {

namespace {
const size_t kFaultsKept = 30;
}

void WebWorld::add_server(const std::string &name, bool replay) {
    names_.push_back(name);
    servers_[name].replay = replay;
}

bool WebWorld::is_replay(const std::string &name) const {
    const auto found = servers_.find(name);
    return found != servers_.end() && found->second.replay;
}

bool WebWorld::present(const std::string &name) const {
    const auto found = servers_.find(name);
    return found != servers_.end() && found->second.present;
}

void WebWorld::set_present(const std::string &name, bool present) {
    Server &server = servers_[name];
    if (server.present != present)
        server.restarted = WebClock::now();
    server.present = present;
}

void WebWorld::restarted(const std::string &name) { servers_[name].restarted = WebClock::now(); }

bool WebWorld::restarted_since(const std::string &name, WebClock::time_point since) const {
    const auto found = servers_.find(name);
    return found != servers_.end() && found->second.restarted + kSettleTime >= since;
}

void WebWorld::fault(const std::string &what) {
    if (fault_count_++ < kFaultsKept) {
        faults_.push_back(what);
        std::fprintf(stderr, "orlex_web_soak: FAULT %s\n", what.c_str());
    }
}

}  // namespace soak
