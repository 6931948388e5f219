// A chat rule's pattern: a small regular language matched in time linear in the text (every
// position of the pattern is tracked at once, nothing is ever retried), so that no pattern in the
// alerts file can stall the event loop the way a backtracking matcher can with (a+)+b.
// Letters match either case. Understood: literal characters, '.', [...] and [^...] with ranges,
// \d \w \s (and \D \W \S), \b, ^ and $, the quantifiers ? * + on one item, and | between whole
// alternatives; any other escape is the character itself. Groups are not: a pattern with '(' is
// refused rather than read differently from what its author meant.
#pragma once

#include <bitset>
#include <string>
#include <vector>

namespace web {

class AlertPattern {
public:
    static constexpr size_t kLongest = 256;  // pattern characters

    // False, with the reason, when the pattern is too long or not understood.
    bool compile(const std::string &pattern, std::string *error);
    bool matches(const std::string &text) const;

private:
    enum class Kind { characters, word_edge, start, end };
    struct Item {
        Kind kind = Kind::characters;
        std::bitset<256> accepts;  // of a characters item
        bool optional = false;     // ? or *
        bool repeats = false;      // * or +
    };
    using Sequence = std::vector<Item>;

    bool matches(const Sequence &sequence, const std::string &text) const;

    std::vector<Sequence> alternatives_;
};

}  // namespace web
