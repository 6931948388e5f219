// The TCP connection to the plug-in: the client's only socket code.
#pragma once

#include <string>

namespace client {

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Connects to host:port (an IPv4 address or a host name) within the time; false with the
    // reason otherwise.
    bool open(const std::string &host, int port, int milliseconds, std::string *error);
    // Sends one command and its line end.
    bool send_line(const std::string &line);

    enum class Received { data, nothing, closed };
    // Waits at most that long for bytes and appends them; `nothing` also when a signal came.
    Received receive(std::string *bytes, int milliseconds);

private:
    int fd_ = -1;
};

}  // namespace client
