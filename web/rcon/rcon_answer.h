// What a datagram from a server's remote console says: a challenge, printed console output, or
// the refusal of a challenge; and which printed answers are refusals.
#pragma once

#include <cstddef>
#include <string>

namespace web::rcon {

struct Datagram {
    enum class Kind { other, challenge, print, no_challenge } kind = Kind::other;
    std::string text;  // print: the text before its NUL; challenge: the number
};

// Any bytes; what is not one of the three kinds is `other`.
Datagram read_datagram(const char *data, size_t size);

enum class Refusal { none, password, banned };
// A print datagram's text as the first of an answer: a refused password (wrong, none set, or no
// privilege), the ban, or none.
Refusal refusal_in(const std::string &printed);

// The challenge request and a command, each one datagram.
std::string challenge_request();
std::string command_request(const std::string &challenge, const std::string &password, const std::string &command);
// What the engine answers at all: a request shorter than this (counted after the four bytes).
const size_t LONGEST_REQUEST = 511;

}  // namespace web::rcon
