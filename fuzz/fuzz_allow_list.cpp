// The allow-list text as an operator may write it, any bytes: every entry is either kept as a
// well-formed range or named as bad, nothing is read past the text, and what the list lets in
// agrees with its ranges. The whole text also goes through the gate, with its log lines.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/plugin_under_test.h"
#include "net/address_list.h"
#include "net/admission.h"

namespace {

struct BadEntries {
    const char *text;
    size_t size;
    int count;
};

void check_bad_entry(const char *entry, size_t length, void *context) {
    BadEntries &bad = *static_cast<BadEntries *>(context);
    if (length == 0 || entry < bad.text || entry + length > bad.text + bad.size)
        __builtin_trap();
    ++bad.count;
}

int prefix_of(uint32_t mask) {
    int prefix = 0;
    while (prefix < 32 && (mask & (0x80000000u >> prefix)))
        ++prefix;
    return prefix;
}

// A range that parsed is a prefix mask with no bits past it, and writes back to itself.
void check_range(const AddressRange &range) {
    const int prefix = prefix_of(range.mask);
    const uint32_t mask = prefix == 0 ? 0u : ~0u << (32 - prefix);
    if (mask != range.mask || (range.network & ~range.mask) != 0)
        __builtin_trap();
    char text[32];
    const int length = snprintf(text, sizeof(text), "%u.%u.%u.%u/%d", range.network >> 24, range.network >> 16 & 0xFF,
                                range.network >> 8 & 0xFF, range.network & 0xFF, prefix);
    AddressRange again{};
    if (!parse_address_range(text, static_cast<size_t>(length), &again) || again.network != range.network ||
        again.mask != range.mask)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    plugin_under_test();
    const char *text = reinterpret_cast<const char *>(data);

    AddressRange range{};
    if (parse_address_range(text, size, &range)) {
        check_range(range);
        if (!AddressList().read(text, size, nullptr, nullptr).entries)
            __builtin_trap();
    }

    AddressList list;
    BadEntries bad = {text, size, 0};
    const AddressList::Reading reading = list.read(text, size, check_bad_entry, &bad);
    if (reading.malformed != bad.count || list.ranges() > ADDRESS_LIST_RANGES ||
        reading.entries != reading.malformed + list.ranges() + reading.ignored ||
        list.restricts() != (reading.entries > 0))
        __builtin_trap();
    if (list.restricts() && list.ranges() == 0 && list.allows(range.network))
        __builtin_trap();  // nothing parsed: nobody gets in

    static Admission gate;
    const std::string terminated(text, size);
    gate.set_allow_list(terminated.c_str());
    gate.set_rate(size % 4);
    for (uint32_t address : {range.network, 0u, 0x7F000001u, ~0u})
        gate.admit(address, static_cast<double>(size));
    return 0;
}
