#include "web/config.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

namespace web {
namespace {

const size_t kLongestName = 64;
const size_t kLongestHost = 253;
const size_t kLongestSetting = 4096;

bool fail(std::string *error, const std::string &message) {
    *error = message;
    return false;
}

bool valid_name(const std::string &name) {
    return !name.empty() && name.size() <= kLongestName && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
    });
}

bool valid_host(const std::string &host) {
    return !host.empty() && host.size() <= kLongestHost && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
    });
}

bool parse_address(const std::string &name, const std::string &address, ServerAddress *server, std::string *error) {
    if (!valid_name(name))
        return fail(error, "server name \"" + name + "\": use 1 to 64 letters, digits, '.', '_' or '-'");
    const size_t colon = address.rfind(':');
    int port = 0;
    if (colon == std::string::npos || !valid_host(address.substr(0, colon)) ||
        !parse_port(address.substr(colon + 1), &port))
        return fail(error, "server " + name + ": \"" + address + "\" is not HOST:PORT (port 1 to 65535)");
    *server = {name, address.substr(0, colon), port, {}};
    return true;
}

bool known_setting(const std::string &key) {
    return std::any_of(std::begin(kServerSettings), std::end(kServerSettings),
                       [&](const char *known) { return key == known; });
}

// "key=value": a known key, a value of printable characters within the bound, each key once.
bool parse_setting(const std::string &word, ServerAddress *server, std::string *error) {
    const size_t equals = word.find('=');
    if (equals == std::string::npos || equals == 0)
        return fail(error, "\"" + word.substr(0, kLongestName) + "\" is not key=value");
    const std::string key = word.substr(0, equals), value = word.substr(equals + 1);
    if (!known_setting(key)) {
        std::string known;
        for (const char *each : kServerSettings)
            known += std::string(known.empty() ? "" : ", ") + each;
        return fail(error, "unknown setting \"" + key.substr(0, kLongestName) + "\" (known: " + known + ")");
    }
    const bool printable = std::all_of(value.begin(), value.end(), [](char c) {
        return static_cast<unsigned char>(c) > ' ' && static_cast<unsigned char>(c) < 0x7f;
    });
    if (value.empty() || value.size() > kLongestSetting || !printable)
        return fail(error, key + ": the value must be 1 to 4096 printable characters");
    if (!server->settings.emplace(key, value).second)
        return fail(error, key + " is given twice");
    return true;
}

}  // namespace

const char *const kServerSettings[4] = {"rcon", "rcon-password-file", "game-dir", "log"};

std::string ServerAddress::setting(const std::string &key) const {
    const auto found = settings.find(key);
    return found == settings.end() ? std::string() : found->second;
}

bool parse_port(const std::string &text, int *port) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    int number = 0;
    for (char digit : text)
        number = number * 10 + (digit - '0');
    if (number < 1 || number > 65535)
        return false;
    *port = number;
    return true;
}

bool parse_server_option(const std::string &text, ServerAddress *server, std::string *error) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos)
        return fail(error, "\"" + text + "\" is not NAME=HOST:PORT");
    return parse_address(text.substr(0, equals), text.substr(equals + 1), server, error);
}

bool parse_config(const std::string &text, std::vector<ServerAddress> *servers, std::string *error) {
    std::istringstream lines(text);
    std::string line;
    servers->clear();
    for (int number = 1; std::getline(lines, line); ++number) {
        std::istringstream words(line);
        std::string name, address, word;
        if (!(words >> name) || name[0] == '#')
            continue;
        const std::string at = "line " + std::to_string(number) + ": ";
        if (!(words >> address))
            return fail(error, at + "expected NAME HOST:PORT [key=value ...]");
        ServerAddress server;
        std::string reason;
        if (!parse_address(name, address, &server, &reason))
            return fail(error, at + reason);
        while (words >> word)
            if (!parse_setting(word, &server, &reason))
                return fail(error, std::string(at).append("server ").append(name).append(": ").append(reason));
        if (!add_servers({server}, servers, &reason))
            return fail(error, at + reason);
    }
    return true;
}

bool read_text_file(const std::string &path, std::string *text, size_t longest) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    text->clear();
    char chunk[4096];
    while (text->size() < longest && file.read(chunk, sizeof(chunk)).gcount() > 0)
        text->append(chunk, std::min(static_cast<size_t>(file.gcount()), longest - text->size()));
    return true;
}

bool add_servers(const std::vector<ServerAddress> &more, std::vector<ServerAddress> *servers, std::string *error) {
    for (const ServerAddress &server : more) {
        const bool taken = std::any_of(servers->begin(), servers->end(),
                                       [&](const ServerAddress &other) { return other.name == server.name; });
        if (taken)
            return fail(error, "server name " + server.name + " is given twice");
        servers->push_back(server);
    }
    return true;
}

}  // namespace web
