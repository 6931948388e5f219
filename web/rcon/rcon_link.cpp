#include "web/rcon/rcon_link.h"

#include <boost/asio/post.hpp>
#include <set>

#include "web/rcon/server_link.h"

namespace web::rcon {

namespace {

// How often the password files are looked at for a change.
const std::chrono::seconds FILE_CHECK{1};

}  // namespace

const char *describe(LinkState state) {
    switch (state) {
        case LinkState::ready:
            return "ready";
        case LinkState::no_password:
            return "no rcon password file";
        case LinkState::password_refused:
            return "rcon password refused";
        case LinkState::banned:
            return "the server has banned the gateway's address";
    }
    return "";
}

Links::Links(boost::asio::io_context &io) : io_(io), file_timer_(io) {}

// Whatever waits is answered `stopped`; at the end of the program, a failure to say so is no matter.
Links::~Links() {
    try {
        file_timer_.cancel();
        for (auto &entry : links_)
            entry.second->close();
    } catch (...) {
    }
}

void Links::configure(const std::vector<web::ServerAddress> &servers) {
    std::set<std::string> named;
    for (const ServerAddress &server : servers) {
        named.insert(server.name);
        std::shared_ptr<ServerLink> &link = links_[server.name];
        if (!link)
            link = std::make_shared<ServerLink>(io_, server.name);
        link->configure(server);
    }
    for (auto entry = links_.begin(); entry != links_.end();) {
        if (named.count(entry->first)) {
            ++entry;
            continue;
        }
        entry->second->close();
        entry = links_.erase(entry);
    }
    if (!links_.empty() && !watching_files_)
        watch_password_files();
}

void Links::set_game_port(const std::string &server, int port) {
    const auto found = links_.find(server);
    if (found != links_.end() && port > 0 && port <= 65535)
        found->second->set_game_port(port);
}

LinkState Links::state(const std::string &server) const {
    const auto found = links_.find(server);
    return found == links_.end() ? LinkState::no_password : found->second->state();
}

void Links::send(const std::string &server, std::string command, std::function<void(Answer)> done) {
    const auto found = links_.find(server);
    if (found != links_.end())
        return found->second->send(std::move(command), std::move(done));
    boost::asio::post(io_, [done = std::move(done)] {
        if (done)
            done(Answer{Answer::Outcome::stopped, std::string()});
    });
}

// Only while there are links: with none, nothing keeps the loop running.
void Links::watch_password_files() {
    watching_files_ = true;
    file_timer_.expires_after(FILE_CHECK);
    file_timer_.async_wait([this](const boost::system::error_code &error) {
        if (error)
            return;
        watching_files_ = !links_.empty();
        if (!watching_files_)
            return;
        for (auto &entry : links_)
            entry.second->check_password_file();
        watch_password_files();
    });
}

}  // namespace web::rcon
