// Game text is bytes (names, chat, host names in any 8-bit encoding); JSON and WebSocket text must
// be UTF-8, and a browser drops a WebSocket that sends anything else. Invalid sequences become
// U+FFFD, so that one player's name cannot cut every viewer off.
#pragma once

#include <string>

namespace web {

std::string valid_utf8(const std::string &text);

}  // namespace web
