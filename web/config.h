// Which servers to watch: "NAME=HOST:PORT" on the command line, "NAME HOST:PORT" lines in a file,
// where a line may add blank-separated "key=value" settings of that server after the address.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace web {

struct ServerAddress {
    std::string name;  // appears in URLs: letters, digits, '.', '_' and '-' only
    std::string host;
    int port = 0;
    // The line's "key=value" settings, keys from kServerSettings; each value is checked by the part
    // that uses it.
    std::map<std::string, std::string> settings = {};

    std::string address() const { return host + ":" + std::to_string(port); }
    // The value of a setting, empty when the line does not give it.
    std::string setting(const std::string &key) const;
    bool operator==(const ServerAddress &other) const {
        return name == other.name && host == other.host && port == other.port && settings == other.settings;
    }
};

// The settings a configuration line may give: where rcon goes and the file of its password, the
// game folder the maps are read from, and the address the server's log comes from.
extern const char *const kServerSettings[4];

// A port number, 1 to 65535, in decimal digits only.
bool parse_port(const std::string &text, int *port);

// "NAME=HOST:PORT"; false with the reason.
bool parse_server_option(const std::string &text, ServerAddress *server, std::string *error);

// A configuration file's text: one "NAME HOST:PORT [key=value ...]" per line; blank lines and lines
// starting with '#' are skipped. False with the first mistake and its line number.
bool parse_config(const std::string &text, std::vector<ServerAddress> *servers, std::string *error);

// A file's text, at most `longest` bytes of it; false when it cannot be read.
bool read_text_file(const std::string &path, std::string *text, size_t longest = SIZE_MAX);

// Adds servers to a list, refusing a name already in it.
bool add_servers(const std::vector<ServerAddress> &more, std::vector<ServerAddress> *servers, std::string *error);

}  // namespace web
