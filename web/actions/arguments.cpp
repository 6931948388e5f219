#include "web/actions/arguments.h"

#include <algorithm>
#include <cctype>

namespace web::actions {

std::string check_console_text(const std::string &argument, const std::string &text, size_t longest,
                               bool quotes_allowed) {
    if (text.size() > longest)
        return argument + " is longer than " + std::to_string(longest) + " bytes";
    if (std::any_of(text.begin(), text.end(), [](char c) { return c == '\0'; }))
        return argument + " holds a NUL byte";
    if (text.find_first_of("\r\n") != std::string::npos)
        return argument + " holds a line end";
    if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        return argument + " holds a control character";
    if (text.find(';') != std::string::npos)
        return argument + " holds a ';'";
    const size_t quotes = static_cast<size_t>(std::count(text.begin(), text.end(), '"'));
    if (!quotes_allowed && quotes > 0)
        return argument + " holds a double quote";
    if (quotes % 2 != 0)
        return argument + " holds an unbalanced double quote";
    return "";
}

bool valid_map_name(const std::string &name) {
    return !name.empty() && name.size() <= 64 && name[0] != '.' &&
           std::all_of(name.begin(), name.end(),
                       [](unsigned char c) { return std::isalnum(c) || c == '_' || c == '-' || c == '.'; });
}

bool valid_auth_id(const std::string &id) {
    return !id.empty() && id.size() <= 64 &&
           std::all_of(id.begin(), id.end(), [](unsigned char c) { return std::isalnum(c) || c == '_' || c == ':'; });
}

bool auth_id_is_shared(const std::string &id) {
    static const char *const kShared[] = {
        "BOT", "HLTV", "STEAM_ID_LAN", "VALVE_ID_LAN", "STEAM_ID_PENDING", "VALVE_ID_PENDING", "UNKNOWN", "4294967295"};
    return id.empty() ||
           std::any_of(std::begin(kShared), std::end(kShared), [&](const char *shared) { return id == shared; });
}

}  // namespace web::actions
