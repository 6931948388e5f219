// The gateway's Unix times, in whole milliseconds: now, and that of a steady-clock moment.
#pragma once

#include <chrono>
#include <cstdint>

namespace web {

inline std::int64_t steady_ms(std::chrono::steady_clock::time_point moment) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()).count();
}

// Unix time now, in whole milliseconds, as the system clock has it (it follows a clock set anew).
inline std::int64_t unix_ms_now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A steady-clock moment on one mapping fixed when the program starts. The live state stamps a record
// with it and the recorder counts a file's times from it, so a replay (the file's start plus an
// entry's time) gives back the very millisecond the live view showed.
inline std::int64_t wall_ms(std::chrono::steady_clock::time_point moment) {
    static const std::int64_t offset_ms = unix_ms_now() - steady_ms(std::chrono::steady_clock::now());
    return offset_ms + steady_ms(moment);
}

}  // namespace web
