// Which IPv4 addresses may connect, as an operator writes them: single addresses and CIDR ranges
// separated by commas or blanks ("127.0.0.1, 10.0.0.0/8 192.0.2.17"). Fixed capacity: reading a
// list allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>

enum {
    ADDRESS_LIST_RANGES = 64,    // ranges kept; entries past them are ignored
    ADDRESS_ENTRY_LONGEST = 18,  // "255.255.255.255/32"
};

// A range of addresses in host byte order: those whose masked bits equal network.
struct AddressRange {
    uint32_t network;
    uint32_t mask;
};

// Reads one entry, "a.b.c.d" or "a.b.c.d/prefix", with decimal parts and no leading zeros (some
// tools read "010" as octal). Bits past the prefix are ignored. False when it is not such an entry.
bool parse_address_range(const char *text, size_t length, AddressRange *range);

class AddressList {
public:
    // Told about each entry that does not parse: its text (not terminated) and length.
    using BadEntry = void (*)(const char *entry, size_t length, void *context);

    struct Reading {
        int entries;    // entries in the text, good or bad
        int malformed;  // entries that did not parse
        int ignored;    // good entries past the capacity
    };

    // Replaces the list with the entries of text (the first `length` bytes, or up to a NUL).
    Reading read(const char *text, size_t length, BadEntry on_bad_entry, void *context);
    // An empty list (no entries at all) lets everyone in; a list whose entries all failed to parse
    // lets nobody in.
    bool allows(uint32_t address) const;
    bool restricts() const { return restricted_; }
    int ranges() const { return count_; }

private:
    AddressRange ranges_[ADDRESS_LIST_RANGES] = {};
    int count_ = 0;
    bool restricted_ = false;
};
