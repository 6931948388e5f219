#include "web/config_watcher.h"

#include <algorithm>
#include <cstdio>

namespace web {
namespace {

const ServerAddress *named(const std::vector<ServerAddress> &servers, const std::string &name) {
    const auto found =
        std::find_if(servers.begin(), servers.end(), [&](const ServerAddress &s) { return s.name == name; });
    return found == servers.end() ? nullptr : &*found;
}

}  // namespace

ConfigChanges config_changes(const std::vector<ServerAddress> &owned, const std::vector<ServerAddress> &wanted) {
    ConfigChanges changes;
    for (const ServerAddress &server : owned) {
        const ServerAddress *still = named(wanted, server.name);
        if (!still || !(*still == server))
            changes.removed.push_back(server.name);
    }
    for (const ServerAddress &server : wanted) {
        const ServerAddress *had = named(owned, server.name);
        if (!had || !(*had == server))
            changes.added.push_back(server);
    }
    return changes;
}

ConfigWatcher::ConfigWatcher(boost::asio::io_context &io, std::string path, Add add, Remove remove)
    : timer_(io), path_(std::move(path)), add_(std::move(add)), remove_(std::move(remove)) {}

void ConfigWatcher::start() { check(); }

void ConfigWatcher::stop() { timer_.cancel(); }

void ConfigWatcher::check() {
    std::string text;
    const bool readable = read_text_file(path_, &text);
    if (!readable && readable_)
        std::fprintf(stderr, "orlex_web: cannot read %s; watching the servers already known\n", path_.c_str());
    if (readable && (!read_once_ || text != text_ || !readable_))
        apply_text(text);
    readable_ = readable;
    timer_.expires_after(kCheckInterval);
    timer_.async_wait([this](boost::system::error_code error) {
        if (!error)
            check();
    });
}

void ConfigWatcher::apply_text(const std::string &text) {
    text_ = text;
    read_once_ = true;
    std::vector<ServerAddress> wanted;
    std::string error;
    if (!parse_config(text, &wanted, &error)) {
        std::fprintf(stderr, "orlex_web: %s: %s; watching the servers already known\n", path_.c_str(), error.c_str());
        return;
    }
    const ConfigChanges changes = config_changes(owned_, wanted);
    for (const std::string &name : changes.removed) {
        owned_.erase(
            std::remove_if(owned_.begin(), owned_.end(), [&](const ServerAddress &s) { return s.name == name; }),
            owned_.end());
        remove_(name);
    }
    for (const ServerAddress &server : changes.added)
        if (add_(server))
            owned_.push_back(server);
}

}  // namespace web
