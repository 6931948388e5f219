#include "web/handshake.h"

#include <cctype>

namespace web {

bool valid_websocket_key(std::string_view key) {
    constexpr size_t kDigits = 22;
    if (key.size() != kDigits + 2 || key.substr(kDigits) != "==")
        return false;
    for (const char c : key.substr(0, kDigits))
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '/')
            return false;
    return true;
}

}  // namespace web
