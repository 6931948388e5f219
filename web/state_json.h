// The gateway's state as JSON: what the API answers and what the page is pushed. Every number
// is a whole number (positions in map units, health and armour in percent, times in seconds).
#pragma once

#include <boost/json/object.hpp>
#include <string>
#include <vector>

#include "web/server_state.h"

namespace web {

// One line of the server list: name, address, connection, map, players, time left.
boost::json::object server_summary(const ServerState &server);
// Everything folded: server, players, objectives, recent chat, and the link's counters.
boost::json::object server_detail(const ServerState &server);

// GET /api/servers: {"servers":[summary, ...]}.
std::string servers_text(const std::vector<const ServerState *> &servers);
// GET /api/servers/NAME: the detail.
std::string detail_text(const ServerState &server);

// Pushed to the page: {"type":"servers","servers":[...]} and {"type":"state","state":{detail}}.
std::string servers_message(const std::vector<const ServerState *> &servers);
std::string state_message(const ServerState &server);

}  // namespace web
