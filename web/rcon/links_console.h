// The actions' console over the rcon links: a server is ready while its link is, and each answer
// keeps its outcome.
#pragma once

#include "web/actions/console.h"
#include "web/rcon/rcon_link.h"

namespace web::rcon {

class LinksConsole final : public actions::Console {
public:
    explicit LinksConsole(Links &links) : links_(links) {}
    bool ready(const std::string &server, std::string *why) const override;
    void send(const std::string &server, std::string line, std::function<void(actions::ConsoleAnswer)> done) override;

private:
    Links &links_;
};

}  // namespace web::rcon
