#include "support/thread_clock.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <ctime>
#endif

namespace testing_support {

double thread_cpu_seconds() {
#if defined(_WIN32)
    FILETIME created, ended, system, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &system, &user))
        return 0.0;
    const auto ticks = [](const FILETIME &time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(system) + ticks(user)) * 1e-7;  // in 100-nanosecond ticks
#else
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

}  // namespace testing_support
