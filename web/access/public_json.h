// What the public view shows: the servers and their states without what only users may see (the
// watched addresses). Players' addresses, auth ids and the join password are in no rendering.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "web/log/event_log.h"
#include "web/maps/map_picture.h"
#include "web/source.h"

namespace web::access {

std::string public_detail_text(const Source &server, const maps::MapPicture *picture);
std::string public_servers_text(const std::vector<const Source *> &servers);
// As pushed to a public page: {"type":"servers",...} and {"type":"state","state":DETAIL}.
std::string public_servers_message(const std::vector<const Source *> &servers);
std::string public_state_message(const std::string &detail_text);
// GET /api/servers/NAME/events for the public: the events after `since` up to `until` (the latest
// the delayed state had), scrubbed as the state is.
std::string public_events_text(const log::EventLog &log, uint64_t since, uint64_t until);

}  // namespace web::access
