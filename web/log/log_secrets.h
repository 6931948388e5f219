// Log text that can carry a password, reduced before anything else sees it: an rcon line keeps only
// its command, a "Server cvar" line of a password cvar only the cvar's name.
#pragma once

#include <string>
#include <string_view>

namespace web::log {

// The text of one log entry (with or without its "L MM/DD/YYYY - HH:MM:SS: " stamp; it may span
// several lines) with every secret taken out; any other text comes back unchanged.
std::string scrub_log_secrets(std::string_view text);

}  // namespace web::log
