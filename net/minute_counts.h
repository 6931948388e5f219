// How many times each address did something in the current minute, in a fixed-size table: when it
// is full, an entry from an earlier minute or else the one seen longest ago makes room, so a flood
// from many addresses costs no memory.
#pragma once

#include <cstdint>

enum { MINUTE_COUNT_ENTRIES = 256 };

class MinuteCounts {
public:
    // Counts one more event from the address in the minute; the count in that minute so far,
    // 1 for the first. A different minute (the clock also restarts at a map change) starts anew.
    uint32_t count(uint32_t address, int64_t minute);

private:
    struct Entry {
        uint32_t address;
        uint32_t events;
        int64_t minute;
        uint64_t last_seen;  // of use_clock_
    };
    Entry &entry_for(uint32_t address, int64_t minute);

    Entry entries_[MINUTE_COUNT_ENTRIES] = {};
    int used_ = 0;
    uint64_t use_clock_ = 0;
};

// The minute of the server clock a time in seconds falls into.
int64_t minute_of(double seconds);
