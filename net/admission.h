// Who may take a slot of the admin listener: the allow-list and the per-address rate limit, both
// off until an operator sets them. Consulted by the accept path before a slot is taken. Refusals
// are logged at most once per address per minute, and at most REFUSAL_LINES_PER_MINUTE times a
// minute in all, so that a flood cannot flood the log (which also comes back to our UDP socket).
#pragma once

#include <cstdint>

#include "net/address_list.h"
#include "net/minute_counts.h"

enum {
    ALLOW_TEXT_SIZE = 1024,         // an allow-list text is read up to 1023 characters
    BAD_ENTRY_LINES = 8,            // entries that do not parse, named one a line, per reading
    REFUSAL_LINES_PER_MINUTE = 16,  // refusal lines in all, then one line saying the rest go unlogged
};

class Admission {
public:
    // Reads the allow-list text when it differs from the one read last; true when it changed
    // (connections already open may no longer be allowed).
    bool set_allow_list(const char *text);
    // New connections allowed per address and minute; 0 or less: no limit.
    void set_rate(int per_minute);

    // Whether a new connection from the address (host byte order) may take a slot, now on the
    // server clock. Counts the connection toward the address's rate.
    bool admit(uint32_t address, double now);
    // Whether the allow-list lets the address in (for connections already open).
    bool allows(uint32_t address) const { return list_.allows(address); }

private:
    void refuse(uint32_t address, int64_t minute, const char *reason);

    AddressList list_;
    char allow_text_[ALLOW_TEXT_SIZE] = "";
    int rate_ = 0;
    MinuteCounts connections_;  // allowed addresses only: strangers cannot push them out
    MinuteCounts refusals_;
    int64_t log_minute_ = 0;
    int refusal_lines_ = 0;
};

extern Admission admission;

// "a.b.c.d" of an address in host byte order, into a buffer of 16.
void address_text(uint32_t address, char (&text)[16]);
