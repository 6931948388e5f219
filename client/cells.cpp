#include "client/cells.h"

namespace view {
namespace {

bool continuation(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }

// Length of the well-formed UTF-8 character at `at` that a terminal shows as text; 0 if none.
size_t printable_character(const std::string &text, size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead >= 0x20 && lead < 0x7F)
        return 1;
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (size_t next = 1; next < length; ++next)
        if (!continuation(static_cast<unsigned char>(text[at + next])))
            return 0;
    // U+0080..U+009F are the C1 controls, which some terminals obey.
    if (lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0)
        return 0;
    return length;
}

std::string spaces(size_t count) { return std::string(count, ' '); }

}  // namespace

std::string printable(const std::string &text) {
    std::string shown;
    for (size_t at = 0; at < text.size();) {
        const size_t length = printable_character(text, at);
        if (length == 0) {
            shown += '?';
            ++at;
            continue;
        }
        shown.append(text, at, length);
        at += length;
    }
    return shown;
}

size_t columns(const std::string &text) {
    size_t count = 0;
    for (char byte : text)
        count += continuation(static_cast<unsigned char>(byte)) ? 0 : 1;
    return count;
}

std::string cut(const std::string &text, size_t width) {
    size_t taken = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        if (continuation(static_cast<unsigned char>(text[at])))
            continue;
        if (taken++ == width)
            return text.substr(0, at);
    }
    return text;
}

std::string left(const std::string &text, size_t width) {
    const std::string shown = cut(printable(text), width);
    return shown + spaces(width - columns(shown));
}

std::string right(const std::string &text, size_t width) {
    const std::string shown = cut(printable(text), width);
    return spaces(width - columns(shown)) + shown;
}

}  // namespace view
