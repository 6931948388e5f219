#include "web/rcon/rcon_answer.h"

#include <cstring>

namespace web::rcon {
namespace {

const char CONNECTIONLESS[] = "\xff\xff\xff\xff";
const char CHALLENGE[] = "challenge rcon ";

bool starts_with(const std::string &text, const char *prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

Datagram read_datagram(const char *data, size_t size) {
    Datagram datagram;
    if (size < 5 || std::memcmp(data, CONNECTIONLESS, 4) != 0)
        return datagram;
    const std::string body(data + 4, size - 4);
    if (body[0] == 'l') {
        datagram.kind = Datagram::Kind::print;
        datagram.text = body.substr(1, body.find('\0') == std::string::npos ? std::string::npos : body.find('\0') - 1);
    } else if (body[0] == '9') {
        datagram.kind = Datagram::Kind::no_challenge;
    } else if (starts_with(body, CHALLENGE)) {
        const std::string number = body.substr(std::strlen(CHALLENGE));
        const size_t digits = number.find_first_not_of("0123456789");
        if (digits > 0 && digits <= 10 && digits != std::string::npos) {
            datagram.kind = Datagram::Kind::challenge;
            datagram.text = number.substr(0, digits);
        }
    }
    return datagram;
}

Refusal refusal_in(const std::string &printed) {
    if (starts_with(printed, "Bad rcon_password."))
        return Refusal::password;
    if (starts_with(printed, "You have been banned from this server."))
        return Refusal::banned;
    return Refusal::none;
}

std::string challenge_request() { return std::string(CONNECTIONLESS) + "challenge rcon\n"; }

std::string command_request(const std::string &challenge, const std::string &password, const std::string &command) {
    return std::string(CONNECTIONLESS) + "rcon " + challenge + " \"" + password + "\" " + command;
}

}  // namespace web::rcon
