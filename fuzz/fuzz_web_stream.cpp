// What a watched server sends, as the dashboard's gateway takes it: any bytes, cut anywhere, folded
// into the state and rendered as JSON, which must always parse back as one object.
#include <boost/json/parse.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

#include "web/server_state.h"
#include "web/state_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const size_t cut = data[0] % (size);  // one read boundary anywhere
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    web::ServerState state({"fuzz", "127.0.0.1", 1}, 5);
    state.add(bytes, cut);
    state.add(bytes + cut, size - 1 - cut);
    for (const std::string &text : {web::detail_text(state), web::servers_text({&state}), web::state_message(state)}) {
        boost::system::error_code error;
        const boost::json::value parsed = boost::json::parse(text, error);
        if (error || !parsed.is_object())
            __builtin_trap();
    }
    return 0;
}
