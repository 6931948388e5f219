// The checks every action's arguments pass before anything reaches a console line. The engine runs
// what follows the password as one command, but a line end, a NUL or a stray quote would change
// what that command is: a text with one is refused with the reason, never cleaned into another.
#pragma once

#include <string>

namespace web::actions {

// Text a console line may carry: at most `longest` bytes, no control byte (CR, LF, NUL included),
// no ';', and quotes balanced (`quotes_allowed`) or none at all (for a text the line quotes itself).
// Empty when acceptable, else why not, naming the argument.
std::string check_console_text(const std::string &argument, const std::string &text, size_t longest,
                               bool quotes_allowed);

// A map's name: 1 to 64 letters, digits, '_', '-', '.', not starting with '.'.
bool valid_map_name(const std::string &name);

// An auth id as the engine gives it: letters, digits, '_' and ':' ("STEAM_0:1:2345", "BOT").
bool valid_auth_id(const std::string &id);

// Auth ids many players share (bots, the proxy, LAN players): a ban by one would hit them all.
bool auth_id_is_shared(const std::string &id);

}  // namespace web::actions
