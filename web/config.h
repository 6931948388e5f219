// Which servers to watch: "NAME=HOST:PORT" on the command line, "NAME HOST:PORT" lines in a file.
#pragma once

#include <string>
#include <vector>

namespace web {

struct ServerAddress {
    std::string name;  // appears in URLs: letters, digits, '.', '_' and '-' only
    std::string host;
    int port = 0;

    std::string address() const { return host + ":" + std::to_string(port); }
    bool operator==(const ServerAddress &other) const {
        return name == other.name && host == other.host && port == other.port;
    }
};

// A port number, 1 to 65535, in decimal digits only.
bool parse_port(const std::string &text, int *port);

// "NAME=HOST:PORT"; false with the reason.
bool parse_server_option(const std::string &text, ServerAddress *server, std::string *error);

// A configuration file's text: one "NAME HOST:PORT" per line; blank lines and lines starting
// with '#' are skipped. False with the first mistake and its line number.
bool parse_config(const std::string &text, std::vector<ServerAddress> *servers, std::string *error);

// A whole file's text; false when it cannot be read.
bool read_text_file(const std::string &path, std::string *text);

// Adds servers to a list, refusing a name already in it.
bool add_servers(const std::vector<ServerAddress> &more, std::vector<ServerAddress> *servers, std::string *error);

}  // namespace web
