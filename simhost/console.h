// The server console on standard input, read without blocking the frame loop.
#pragma once

#include <string>

namespace simhost {

class Console {
public:
    // Takes one complete line if one is waiting. Standard input that is closed or at its end
    // means there is no console, never "quit".
    bool read_line(std::string *line);

private:
    std::string pending_;
    bool closed_ = false;
};

}  // namespace simhost
