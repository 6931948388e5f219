// Client info buffers: "\key\value\key\value" texts.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace simhost {

std::string make_info_buffer(const std::vector<std::pair<std::string, std::string>> &pairs);
// The value stored for key, "" when the key is missing.
std::string info_value(const std::string &buffer, const std::string &key);

}  // namespace simhost
