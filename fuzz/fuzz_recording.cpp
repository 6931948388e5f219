// A recording file as the readers take it: any bytes either read back as whole, checked entries
// (records, and from version 2 log lines) or give one error; never a read outside the file. The
// join password's blanking of the same bytes as a record leaves no value on any SV_PASSWORD line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "recording/reader.h"
#include "recording/redact.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    recording::Recording recorded;
    std::string error;
    const bool ok =
        recording::parse_recording(std::string(reinterpret_cast<const char *>(data), size), "fuzz", &recorded, &error);
    if (ok != error.empty())
        __builtin_trap();  // exactly one of: entries, or an error
    size_t total = 0;
    for (size_t index = 0; ok && index < recorded.entries.size(); ++index) {
        const std::string_view record = recorded.record(index);
        if (record.size() != recorded.entries[index].size || record.empty())
            __builtin_trap();
        if (recorded.is_log_line(index) && recorded.version < 2)
            __builtin_trap();  // version 1 has records only
        total += record.size();
    }
    if (total > size)
        __builtin_trap();
    const std::string blanked =
        recording::without_join_password(std::string(reinterpret_cast<const char *>(data), size));
    for (size_t at = blanked.find("\nSV_PASSWORD\t"); at != std::string::npos;
         at = blanked.find("\nSV_PASSWORD\t", at + 1))
        if (at + 13 < blanked.size() && blanked[at + 13] != '\n')
            __builtin_trap();
    return 0;
}
