// Any text through the number reader: it reads exactly what glibc's strtod and strtoll read in the
// "C" locale (the value bit for bit, any NaN for a NaN, and the same end), and never reads past the
// text's end.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "text/number_text_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);  // ends at its first NUL

    char *library_end = nullptr;
    const double expected = strtod(text.c_str(), &library_end);
    const char *end = nullptr;
    const double value = read_decimal(text.c_str(), &end);
    const bool both_nan = std::isnan(expected) && std::isnan(value) && std::signbit(expected) == std::signbit(value);
    if (end != library_end || (!both_nan && memcmp(&expected, &value, sizeof(value)) != 0))
        __builtin_trap();

    const long long expected_whole = strtoll(text.c_str(), &library_end, 10);
    if (read_whole(text.c_str(), &end) != expected_whole || end != library_end)
        __builtin_trap();
    return 0;
}
