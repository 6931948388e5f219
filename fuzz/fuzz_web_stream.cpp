// What a watched server sends, as the dashboard's gateway takes it: any bytes, cut anywhere, through
// the record pipeline into the state and rendered as JSON, which must always parse back as one object.
#include <boost/json/parse.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

#include "web/record_pipeline.h"
#include "web/server_fold.h"
#include "web/state_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const size_t cut = data[0] % (size);  // one read boundary anywhere
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    web::ServerFold state({"fuzz", "127.0.0.1", 1}, 5);
    web::RecordPipeline pipeline;
    pipeline.subscribe(&state);
    bool broken = false;
    const auto now = web::RecordPipeline::Clock::now();
    pipeline.feed(bytes, cut, now, &broken);
    if (!broken)
        pipeline.feed(bytes + cut, size - 1 - cut, now, &broken);
    if (pipeline.pending() > records::RecordStream::kLongestPending)
        __builtin_trap();  // the bound holds
    for (const std::string &text : {web::detail_text(state), web::servers_text({&state}), web::state_message(state)}) {
        boost::system::error_code error;
        const boost::json::value parsed = boost::json::parse(text, error);
        if (error || !parsed.is_object())
            __builtin_trap();
    }
    return 0;
}
