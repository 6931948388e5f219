// An action asked of a server, from its JSON body to the console lines that do it. Everything is
// checked here, against the server's current players, before any line exists.
#pragma once

#include <boost/json/object.hpp>

#include <string>
#include <vector>

#include "stream/view_state.h"

namespace web::actions {

// Set with --allowed-cvar, else these.
const std::vector<std::string> &default_allowed_cvars();

// Who an action is about: shown in the audit trail.
struct Target {
    std::string name;
    int user_id = 0;
    std::string auth_id;
};

struct Plan {
    std::string action;              // "kick", "ban", ...: "" when the body was not understood
    std::vector<std::string> lines;  // sent in this order, one at a time
    bool has_target = false;
    Target target;
    boost::json::object arguments;  // as given, for the audit trail (a password's value hidden)
    std::string secret;             // a value the audit trail must not hold, even in the answer
    std::string error;              // why it is refused (400, or 404 with missing_player)
    bool missing_player = false;
};

struct ServerFacts {
    const view::State *state = nullptr;  // the players, the game
    const std::vector<std::string> *allowed_cvars = nullptr;
};

// The body {"action":...,...} into the lines that do it, or the error.
Plan plan_action(const std::string &body, const ServerFacts &facts);

}  // namespace web::actions
