// Both ends of the remote console read datagrams from the network: the gateway the server's
// answers, the simulated server the requests. Whatever the bytes, a read never crashes, and a
// challenge read is digits only.
#include <cstddef>
#include <cstdint>
#include <string>

#include "simhost/rcon_wire.h"
#include "web/rcon/rcon_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *bytes = reinterpret_cast<const char *>(data);
    const web::rcon::Datagram datagram = web::rcon::read_datagram(bytes, size);
    if (datagram.kind == web::rcon::Datagram::Kind::challenge &&
        (datagram.text.empty() || datagram.text.find_first_not_of("0123456789") != std::string::npos))
        __builtin_trap();
    web::rcon::refusal_in(datagram.text);
    const std::string text(bytes, size);
    simhost::RconRequest request;
    if (simhost::parse_rcon_request(text, &request) && request.command.size() > simhost::LONGEST_COMMAND)
        __builtin_trap();
    simhost::is_rcon_challenge_request(text);
    return 0;
}
