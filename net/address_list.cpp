#include "net/address_list.h"

namespace {

bool is_separator(char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A decimal number of at most `largest`, without a sign or leading zeros, starting at *at and
// ending before end; *at moves past it.
bool read_number(const char *&at, const char *end, uint32_t largest, uint32_t *number) {
    if (at == end || !is_digit(*at))
        return false;
    if (*at == '0' && at + 1 != end && is_digit(at[1]))
        return false;
    uint32_t value = 0;
    while (at != end && is_digit(*at)) {
        value = value * 10 + static_cast<uint32_t>(*at - '0');
        if (value > largest)
            return false;
        ++at;
    }
    *number = value;
    return true;
}

uint32_t prefix_mask(uint32_t prefix) { return prefix == 0 ? 0u : ~0u << (32 - prefix); }

}  // namespace

bool parse_address_range(const char *text, size_t length, AddressRange *range) {
    if (!text || length == 0 || length > ADDRESS_ENTRY_LONGEST)
        return false;
    const char *at = text;
    const char *const end = text + length;
    uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        uint32_t value = 0;
        if ((part > 0 && (at == end || *at++ != '.')) || !read_number(at, end, 255, &value))
            return false;
        address = address << 8 | value;
    }
    uint32_t prefix = 32;
    if (at != end && (*at++ != '/' || !read_number(at, end, 32, &prefix)))
        return false;
    if (at != end)
        return false;
    range->mask = prefix_mask(prefix);
    range->network = address & range->mask;
    return true;
}

AddressList::Reading AddressList::read(const char *text, size_t length, BadEntry on_bad_entry, void *context) {
    Reading reading = {0, 0, 0};
    count_ = 0;
    size_t at = 0;
    while (text && at < length && text[at] != '\0') {
        if (is_separator(text[at])) {
            ++at;
            continue;
        }
        const size_t start = at;
        while (at < length && text[at] != '\0' && !is_separator(text[at]))
            ++at;
        ++reading.entries;
        AddressRange range;
        if (!parse_address_range(text + start, at - start, &range)) {
            ++reading.malformed;
            if (on_bad_entry)
                on_bad_entry(text + start, at - start, context);
        } else if (count_ < ADDRESS_LIST_RANGES) {
            ranges_[count_++] = range;
        } else {
            ++reading.ignored;
        }
    }
    restricted_ = reading.entries > 0;
    return reading;
}

bool AddressList::allows(uint32_t address) const {
    if (!restricted_)
        return true;
    for (int i = 0; i < count_; ++i)
        if ((address & ranges_[i].mask) == ranges_[i].network)
            return true;
    return false;
}
