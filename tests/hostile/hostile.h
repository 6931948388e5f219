// A live server under attack: timers at their fastest so that each frame accepts, reads and
// flushes, and the longest frame is reported.
#pragma once

#include <cstdio>
#include <random>
#include <string>

#include "e2e/live_server.h"

namespace hostile {

// Generous: a bound against runaway work in a frame (a loop over a flood without end), not a
// performance target. It bounds the frame's processor time, which other work on the machine does
// not lengthen; a socket call that blocks would not return at all here, as nobody sends. Under Wine
// every socket call also costs work in the Wine server's protocol.
#if defined(_WIN32)
const double kFrameBoundSeconds = 1.0;
#else
const double kFrameBoundSeconds = 0.05;
#endif

class HostileTest : public e2e::LiveServerTest {
protected:
    HostileTest() {
        options.settings.push_back({"orlex_timer_conncheck", "0"});
        options.settings.push_back({"orlex_timer_query", "0"});
    }
    ~HostileTest() override {
        std::printf("[ longest frame ] %.3f ms of processor time\n", longest_frame_cpu_seconds * 1000.0);
    }
    void frames(int count) {
        for (int i = 0; i < count; ++i)
            timed_frame();
    }
    std::string random_bytes(size_t size) {
        std::string bytes(size, '\0');
        for (char &byte : bytes)
            byte = static_cast<char>(random_() & 0xFF);
        return bytes;
    }

    std::mt19937 random_{20261209};
};

}  // namespace hostile
