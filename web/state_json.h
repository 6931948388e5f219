// The gateway's state as JSON: what the API answers and what the page is pushed. Every number
// is a whole number (positions in map units, health and armour in percent, times in seconds).
#pragma once

#include <boost/json/object.hpp>
#include <string>
#include <vector>

#include "web/maps/map_picture.h"
#include "web/source.h"

namespace web {

// One line of the server list: name, address, connection, map, players, time left; where a replay
// stands when it is one.
boost::json::object server_summary(const ServerFold &server, const ReplayPosition *replay = nullptr);
// Everything folded: server, players, objectives, recent chat, and the link's counters.
boost::json::object server_detail(const ServerFold &server, const ReplayPosition *replay = nullptr);

// A watched server's or replay's detail, its "map" naming `picture` (null without one).
boost::json::object source_detail(const Source &server, const maps::MapPicture *picture);

// GET /api/servers: {"servers":[summary, ...]}.
std::string servers_text(const std::vector<const Source *> &servers);
std::string servers_text(const std::vector<const ServerFold *> &servers);
// GET /api/servers/NAME: the detail.
// With `picture`, the state's "map" names it (null without one).
std::string detail_text(const Source &server, const maps::MapPicture *picture = nullptr);
std::string detail_text(const ServerFold &server, const ReplayPosition *replay = nullptr);

// Pushed to the page: {"type":"servers","servers":[...]} and {"type":"state","state":{detail}}.
std::string servers_message(const std::vector<const Source *> &servers);
std::string state_message(const Source &server, const maps::MapPicture *picture = nullptr);
std::string state_message(const ServerFold &server, const ReplayPosition *replay = nullptr);

}  // namespace web
