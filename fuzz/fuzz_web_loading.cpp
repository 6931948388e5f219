// What the gateway loads from files: a configuration file's text as its watcher applies it (each
// change against the last), and a recording to replay, read, folded into its timeline and rendered
// at any point. Nothing may throw; every state renders as one JSON object.
#include <boost/asio/io_context.hpp>
#include <boost/json/parse.hpp>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "recording/reader.h"
#include "web/config_watcher.h"
#include "web/replay_timeline.h"
#include "web/state_json.h"

namespace {

void load_config(const std::string &text) {
    boost::asio::io_context io;
    std::set<std::string> served;
    web::ConfigWatcher watcher(
        io, "fuzz.conf", [&](const web::ServerAddress &server) { return served.insert(server.name).second; },
        [&](const std::string &name) {
            if (!served.erase(name))
                __builtin_trap();  // only what it added is ever removed
        });
    const size_t half = text.find('\f');
    watcher.apply_text(text.substr(0, half));
    if (half != std::string::npos)
        watcher.apply_text(text.substr(half + 1));
    watcher.apply_text("");
    if (!served.empty())
        __builtin_trap();  // an empty file leaves nothing of its own
}

void load_replay(const std::string &bytes, uint8_t where) {
    recording::Recording recorded;
    std::string error;
    if (!recording::parse_recording(bytes, "fuzz.orlexrec", &recorded, &error))
        return;
    const web::ServerFold blank({"fuzz", "recording", 0}, 5);
    const web::ReplayTimeline timeline(std::move(recorded), blank);
    const size_t count = timeline.records_until(static_cast<uint32_t>(timeline.length_ms() * (where / 255.0)));
    if (count > timeline.size())
        __builtin_trap();
    const std::string text = web::detail_text(timeline.state_after(count));
    boost::system::error_code parse_error;
    if (!boost::json::parse(text, parse_error).is_object() || parse_error)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const std::string rest(reinterpret_cast<const char *>(data + 2), size - 2);
    if (data[0] & 1)
        load_replay(rest, data[1]);
    else
        load_config(rest);
    return 0;
}
