#include "net/minute_counts.h"

MinuteCounts::Entry &MinuteCounts::entry_for(uint32_t address, int64_t minute) {
    Entry *victim = nullptr;
    for (int i = 0; i < used_; ++i) {
        Entry &entry = entries_[i];
        if (entry.address == address)
            return entry;
        // Entries of other minutes count nothing any more: they go before any current one.
        const bool stale = entry.minute != minute;
        const bool victim_stale = victim && victim->minute != minute;
        if (!victim || (stale && !victim_stale) || (stale == victim_stale && entry.last_seen < victim->last_seen))
            victim = &entry;
    }
    if (used_ < MINUTE_COUNT_ENTRIES)
        victim = &entries_[used_++];
    *victim = Entry{address, 0, minute, 0};
    return *victim;
}

uint32_t MinuteCounts::count(uint32_t address, int64_t minute) {
    Entry &entry = entry_for(address, minute);
    if (entry.minute != minute) {
        entry.minute = minute;
        entry.events = 0;
    }
    if (entry.events < UINT32_MAX)
        ++entry.events;
    entry.last_seen = ++use_clock_;
    return entry.events;
}

int64_t minute_of(double seconds) {
    // The clock is finite and far below these bounds; anything else lands in one minute of its own.
    if (!(seconds > -1e15 && seconds < 1e15))
        return INT64_MIN;
    // Rounded down by hand: std::floor would make the library need libm, which a server may not give it.
    const double minutes = seconds / 60.0;
    const int64_t whole = static_cast<int64_t>(minutes);  // towards zero
    return static_cast<double>(whole) > minutes ? whole - 1 : whole;
}
