// The bytes of the engine's remote console: what a request holds, and the answers as datagrams.
#pragma once

#include <string>
#include <vector>

namespace simhost {

// The four bytes before every connectionless datagram.
extern const char *const CONNECTIONLESS;

// "rcon N "PASSWORD" COMMAND", read like a console line: quotes hold a word together, and all after
// the third word is the command, one command whatever it holds.
struct RconRequest {
    std::string challenge;
    std::string password;
    std::string command;
};
// The text after the four bytes; false unless it starts with the word "rcon" and has three words.
bool parse_rcon_request(const std::string &text, RconRequest *request);

// The text after the four bytes is "challenge rcon" (the second word in any case), nothing more.
bool is_rcon_challenge_request(const std::string &text);

// The console output as print datagrams ("l", text, NUL, NUL after the four bytes), each at most
// PRINT_DATAGRAM bytes; nothing printed is still one empty datagram.
std::vector<std::string> print_datagrams(const std::string &output);
std::string print_datagram(const std::string &text);

const size_t PRINT_DATAGRAM = 1400;
// A request whose text after the four bytes is this long or longer goes unanswered.
const size_t LONGEST_REQUEST = 511;
// What of the command is run.
const size_t LONGEST_COMMAND = 1023;

}  // namespace simhost
