// What a replayed recording is served as: its name in the server list, and the address it shows.
#pragma once

#include <string>
#include <string_view>

#include "web/config.h"

namespace web {

// A recording's file name made the served name: the recorder's names are URL-safe already; other
// characters become '_'.
std::string served_name(const std::string &path);

// The recorded "HOST:PORT"; a port that is not one is shown as 0, the text before it as the host.
ServerAddress recorded_address(const std::string &name, const std::string &recorded);

// A plain name of a file the recorder may have written: letters, digits, '.', '_' and '-', the
// recording suffix, no leading '.' and no "..", so that it can only name a file of the directory.
bool plain_recording_name(std::string_view name);

}  // namespace web
