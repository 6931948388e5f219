// What the actions need of a server's remote console: its state, and one checked console line sent
// with its answer called back on the event loop. The gateway's rcon links provide it.
#pragma once

#include <functional>
#include <string>

namespace web::actions {

struct ConsoleAnswer {
    enum class Outcome { ok, timeout, password_refused, banned, queue_full, stopped } outcome = Outcome::stopped;
    std::string output;  // the console's answer (ok), else empty
};

class Console {
public:
    virtual ~Console() = default;
    // True when lines may be sent to the server; else why not, for the page ("rcon password refused").
    virtual bool ready(const std::string &server, std::string *why) const = 0;
    virtual void send(const std::string &server, std::string line, std::function<void(ConsoleAnswer)> done) = 0;
};

}  // namespace web::actions
