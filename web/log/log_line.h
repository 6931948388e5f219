// A server's log line read into an event, for every game the plug-in serves. A line that matches
// none of the known forms is an "other" event holding its text: nothing is guessed.
#pragma once

#include <string_view>

#include "web/log/log_event.h"

namespace web::log {

// The line's text after its stamp ("L MM/DD/YYYY - HH:MM:SS: "), secrets already scrubbed, without
// its line feed.
LogEvent parse_log_body(std::string_view body);

// "L MM/DD/YYYY - HH:MM:SS: BODY": the event, its time set; false when the stamp is not there.
bool parse_log_line(std::string_view line, LogEvent *event);

// A `NAME<UID><AUTH><TEAM>` token (without its quotes), read from the right; false when the three
// groups are not there or the uid is not a number.
bool parse_player(std::string_view token, LogPlayer *player);

}  // namespace web::log
