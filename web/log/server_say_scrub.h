// The plug-in builds its SERVER_SAY records from the server's log: their text is log text, and is
// scrubbed of secrets as such.
#pragma once

#include "stream/records.h"

namespace web::log {

// Scrubs a SERVER_SAY record's fields and its text alike; true when anything was taken out.
bool scrub_server_say(records::Record *record);

}  // namespace web::log
