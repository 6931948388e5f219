// A client's bytes through the request path: whatever arrives, only a valid command is acted on,
// and the refresh period never becomes a value the report cycle cannot live with.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fuzz/plugin_under_test.h"
#include "host/cvars.h"
#include "plugin/client_requests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    plugin_under_test();
    const int count = size > 255 ? 255 : static_cast<int>(size);
    answer_client(0, reinterpret_cast<const char *>(data), count);  // slot 0 holds no connection
    const float refresh = orlex_timer_refresh->value;
    if (!std::isfinite(refresh))
        __builtin_trap();
    return 0;
}
