// Log events as JSON: the events API's answer and the log part of a server's state.
#pragma once

#include <boost/json/object.hpp>
#include <cstdint>
#include <string>

#include "web/log/event_log.h"

namespace web::log {

boost::json::object event_object(const LogEvent &event);
// GET /api/servers/NAME/events?since=SEQ: {"events":[...]}, oldest first.
std::string events_text(const EventLog &log, uint64_t since);
// In the state: whether a log came, the round panel, the tallies, and the latest events.
boost::json::object log_object(const EventLog &log);

// Events a state carries: a page that missed a push still has them; older ones are in the API.
constexpr size_t kEventsInState = 30;

}  // namespace web::log
