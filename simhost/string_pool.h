// The engine's string storage: string_t values are offsets from one base, so every text handed to
// the game lives in one arena (and stays within 4 GiB of the base on 64-bit builds).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "sdk/archtypes.h"

namespace simhost {

class StringPool {
public:
    explicit StringPool(std::size_t capacity = 1 << 20);

    const char *base() const { return arena_.data(); }
    // Offset of a copy of text; 0 (the empty text) when the arena is full.
    string_t alloc(const char *text);
    // The one copy of a text that is set again and again (models, names), so that a long game does
    // not fill the arena.
    string_t intern(const std::string &text);
    const char *text(string_t offset) const { return arena_.data() + offset; }

private:
    std::vector<char> arena_;  // sized once: growing it would move every handed-out text
    std::size_t used_ = 1;     // offset 0 is the empty text
    std::map<std::string, string_t> interned_;
};

}  // namespace simhost
