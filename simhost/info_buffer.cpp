#include "simhost/info_buffer.h"

#include <algorithm>

namespace simhost {

std::string make_info_buffer(const std::vector<std::pair<std::string, std::string>> &pairs) {
    std::string buffer;
    for (const auto &pair : pairs)
        buffer += "\\" + pair.first + "\\" + pair.second;
    return buffer;
}

// Reads the next backslash-led item starting at position, moving position past it.
static std::string next_item(const std::string &buffer, size_t *position) {
    if (*position < buffer.size() && buffer[*position] == '\\')
        ++*position;
    const size_t end = std::min(buffer.find('\\', *position), buffer.size());
    std::string item = buffer.substr(*position, end - *position);
    *position = end;
    return item;
}

std::string info_value(const std::string &buffer, const std::string &key) {
    size_t position = 0;
    while (position < buffer.size()) {
        const std::string name = next_item(buffer, &position);
        const std::string value = next_item(buffer, &position);
        if (name == key)
            return value;
    }
    return std::string();
}

}  // namespace simhost
