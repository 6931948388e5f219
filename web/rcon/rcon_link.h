// The gateway's remote console to each watched server: one link per server, over UDP to its game
// port, challenge reused, one command in flight, a short queue, paced well under the engine's
// connectionless rate limit, and stopped for good at the first refused password or a ban.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "web/config.h"

namespace web::rcon {

enum class LinkState { ready, no_password, password_refused, banned };
// "ready", "no rcon password file", "rcon password refused",
// "the server has banned the gateway's address"
const char *describe(LinkState state);

struct Answer {
    enum class Outcome { ok, timeout, password_refused, banned, queue_full, stopped } outcome;
    std::string output;  // the console's answer (ok), else empty
};

class ServerLink;

class Links {  // one link per watched server, created and changed from the configuration
public:
    explicit Links(boost::asio::io_context &io);
    ~Links();
    Links(const Links &) = delete;
    Links &operator=(const Links &) = delete;

    void configure(const std::vector<web::ServerAddress> &servers);  // on start and each reload
    void set_game_port(const std::string &server, int port);         // from its SERVER record
    LinkState state(const std::string &server) const;                // unknown server: no_password
    // Queues one console line (already checked by the caller); `done` runs on the loop, once.
    // A link that is not ready answers at once with why (no password: `stopped`); so does one whose
    // address is not known yet, and a line too long for one request (the engine would drop it).
    void send(const std::string &server, std::string command, std::function<void(Answer)> done);

private:
    void watch_password_files();

    boost::asio::io_context &io_;
    std::map<std::string, std::shared_ptr<ServerLink>> links_;
    boost::asio::steady_timer file_timer_;
    bool watching_files_ = false;
};

}  // namespace web::rcon
