// A datagram on the gateway's log socket: framed, scrubbed, read into an event and kept. Whatever
// it holds, nothing breaks, the kept events stay bounded, and a password given in an rcon line
// never reaches the JSON.
#include <cstddef>
#include <cstdint>
#include <string>

#include "web/log/event_json.h"
#include "web/log/event_log.h"
#include "web/log/log_datagram.h"
#include "web/log/log_secrets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static web::log::EventLog log;
    std::string text;
    if (web::log::log_datagram_text(reinterpret_cast<const char *>(data), size, &text))
        log.take_text(web::log::scrub_log_secrets(text));
    // The same bytes as a line's body behind a stamp, and behind an rcon line's password.
    const std::string body(reinterpret_cast<const char *>(data), size);
    log.take_text(web::log::scrub_log_secrets("L 09/25/2024 - 21:20:31: " + body));
    const std::string rcon = "L 09/25/2024 - 21:20:31: Rcon: \"rcon 1 \"Zq9#pw\" " + body + "\" from \"1.2.3.4:5\"";
    const std::string scrubbed = web::log::scrub_log_secrets(rcon);
    if (body.find("Zq9#pw") == std::string::npos && scrubbed.find("Zq9#pw") != std::string::npos)
        __builtin_trap();
    if (log.events().size() > web::log::EventLog::kLongestKept)
        __builtin_trap();
    const std::string json = web::log::events_text(log, log.events().empty() ? 0 : log.events().back().seq - 1);
    (void)json;
    return 0;
}
