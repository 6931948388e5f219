#include "web/replay_names.h"

#include <algorithm>
#include <cctype>

#include "recording/format.h"

namespace web {
namespace {

constexpr size_t kLongestFileName = 255;  // what the file system takes

bool plain_character(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-'; }

}  // namespace

std::string served_name(const std::string &path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (recording::has_file_suffix(name))
        name.resize(name.size() - (sizeof(recording::kFileSuffix) - 1));
    for (char &c : name)
        if (!plain_character(c))
            c = '_';
    return name.substr(0, 64);
}

ServerAddress recorded_address(const std::string &name, const std::string &recorded) {
    ServerAddress address{name, recorded.empty() ? "recording" : recorded, 0};
    const size_t colon = address.host.rfind(':');
    if (colon != std::string::npos) {
        int port = 0;
        if (parse_port(address.host.substr(colon + 1), &port))
            address.port = port;
        address.host.resize(colon);
    }
    return address;
}

bool plain_recording_name(std::string_view name) {
    return !name.empty() && name.size() <= kLongestFileName && name[0] != '.' &&
           name.find("..") == std::string_view::npos && std::all_of(name.begin(), name.end(), plain_character) &&
           recording::has_file_suffix(name);
}

}  // namespace web
