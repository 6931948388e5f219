#include "web/rcon/links_console.h"

#include <utility>

namespace web::rcon {
namespace {

actions::ConsoleAnswer::Outcome outcome_of(Answer::Outcome outcome) {
    using Given = actions::ConsoleAnswer::Outcome;
    switch (outcome) {
        case Answer::Outcome::ok:
            return Given::ok;
        case Answer::Outcome::timeout:
            return Given::timeout;
        case Answer::Outcome::password_refused:
            return Given::password_refused;
        case Answer::Outcome::banned:
            return Given::banned;
        case Answer::Outcome::queue_full:
            return Given::queue_full;
        case Answer::Outcome::stopped:
            break;
    }
    return Given::stopped;
}

}  // namespace

bool LinksConsole::ready(const std::string &server, std::string *why) const {
    const LinkState state = links_.state(server);
    if (state == LinkState::ready)
        return true;
    *why = describe(state);
    return false;
}

void LinksConsole::send(const std::string &server, std::string line, std::function<void(actions::ConsoleAnswer)> done) {
    links_.send(server, std::move(line), [done = std::move(done)](Answer answer) {
        done(actions::ConsoleAnswer{outcome_of(answer.outcome), std::move(answer.output)});
    });
}

}  // namespace web::rcon
