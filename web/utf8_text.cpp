#include "web/utf8_text.h"

namespace web {
namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

// The length of the well-formed sequence at `at` (RFC 3629: no overlong forms, no surrogates,
// nothing past U+10FFFF), or 0.
size_t sequence_length(const std::string &text, size_t at) {
    const auto byte = [&](size_t offset) { return static_cast<unsigned char>(text[at + offset]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (size_t offset = 1; offset < length; ++offset)
        if ((byte(offset) & 0xC0) != 0x80)
            return 0;
    const unsigned char second = byte(1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

}  // namespace

std::string valid_utf8(const std::string &text) {
    std::string valid;
    valid.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t length = sequence_length(text, at);
        if (length == 0) {
            valid += kReplacement;
            ++at;
        } else {
            valid.append(text, at, length);
            at += length;
        }
    }
    return valid;
}

}  // namespace web
