#include "web/alerts/alert_pattern.h"

#include <cctype>

namespace web {
namespace {

using Set = std::bitset<256>;

void add_either_case(Set *set, unsigned char c) {
    set->set(c);
    set->set(static_cast<unsigned char>(std::tolower(c)));
    set->set(static_cast<unsigned char>(std::toupper(c)));
}

Set class_of(char letter) {
    Set set;
    for (int c = 0; c < 256; ++c) {
        const bool in = letter == 'd' || letter == 'D'   ? std::isdigit(c) != 0
                        : letter == 's' || letter == 'S' ? std::isspace(c) != 0
                                                         : std::isalnum(c) != 0 || c == '_';
        set[static_cast<size_t>(c)] = in;
    }
    return std::isupper(static_cast<unsigned char>(letter)) ? ~set : set;
}

bool is_class_letter(char c) { return c == 'd' || c == 'D' || c == 's' || c == 'S' || c == 'w' || c == 'W'; }

// [...] from just after '['; `at` is left after ']'.
bool bracket(const std::string &pattern, size_t *at, Set *set, std::string *error) {
    size_t i = *at;
    const bool negated = i < pattern.size() && pattern[i] == '^';
    if (negated)
        ++i;
    bool first = true;
    while (i < pattern.size() && (pattern[i] != ']' || first)) {
        first = false;
        unsigned char c = static_cast<unsigned char>(pattern[i++]);
        if (c == '\\' && i < pattern.size()) {
            if (is_class_letter(pattern[i])) {
                *set |= class_of(pattern[i++]);
                continue;
            }
            c = static_cast<unsigned char>(pattern[i++]);
        }
        if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
            const unsigned char last = static_cast<unsigned char>(pattern[i + 1]);
            i += 2;
            if (last < c) {
                *error = "a range in [...] runs backwards";
                return false;
            }
            for (unsigned int x = c; x <= last; ++x)
                add_either_case(set, static_cast<unsigned char>(x));
            continue;
        }
        add_either_case(set, c);
    }
    if (i >= pattern.size()) {
        *error = "a [ without its ]";
        return false;
    }
    if (negated)
        *set = ~*set;
    *at = i + 1;
    return true;
}

bool word_character(const std::string &text, size_t at) {
    if (at >= text.size())
        return false;
    const unsigned char c = static_cast<unsigned char>(text[at]);
    return std::isalnum(c) != 0 || c == '_';
}

}  // namespace

bool AlertPattern::compile(const std::string &pattern, std::string *error) {
    alternatives_.assign(1, {});
    if (pattern.size() > kLongest) {
        *error = "a pattern may have at most " + std::to_string(kLongest) + " characters";
        return false;
    }
    for (size_t at = 0; at < pattern.size();) {
        const char c = pattern[at++];
        Sequence &sequence = alternatives_.back();
        Item item;
        if (c == '|') {
            alternatives_.emplace_back();
            continue;
        }
        if (c == '(' || c == ')' || c == '{' || c == '}') {
            *error = std::string("'") + c + "' is not understood in a pattern (no groups or counted repeats)";
            return false;
        }
        if (c == '?' || c == '*' || c == '+') {
            if (sequence.empty() || sequence.back().kind != Kind::characters || sequence.back().optional ||
                sequence.back().repeats) {
                *error = std::string("'") + c + "' must follow a character, '.', a [...] or a \\d-like class";
                return false;
            }
            sequence.back().optional = c != '+';
            sequence.back().repeats = c != '?';
            continue;
        }
        if (c == '^') {
            item.kind = Kind::start;
        } else if (c == '$') {
            item.kind = Kind::end;
        } else if (c == '.') {
            item.accepts.set();
            item.accepts.reset('\n');
        } else if (c == '[') {
            if (!bracket(pattern, &at, &item.accepts, error))
                return false;
        } else if (c == '\\' && at < pattern.size()) {
            const char escaped = pattern[at++];
            if (escaped == 'b')
                item.kind = Kind::word_edge;
            else if (is_class_letter(escaped))
                item.accepts = class_of(escaped);
            else
                add_either_case(&item.accepts, static_cast<unsigned char>(escaped));
        } else {
            add_either_case(&item.accepts, static_cast<unsigned char>(c));
        }
        sequence.push_back(item);
    }
    return true;
}

bool AlertPattern::matches(const std::string &text) const {
    for (const Sequence &sequence : alternatives_)
        if (matches(sequence, text))
            return true;
    return false;
}

// Every position of the sequence reachable at each place in the text, at once: a match may start
// anywhere, so position 0 joins at every place.
bool AlertPattern::matches(const Sequence &sequence, const std::string &text) const {
    const size_t length = sequence.size();
    std::vector<char> current(length + 1, 0), next(length + 1, 0);
    for (size_t place = 0; place <= text.size(); ++place) {
        current[0] = 1;
        // Zero-width items and skipped optional ones lead on without taking a character.
        for (size_t at = 0; at < length; ++at) {
            if (!current[at])
                continue;
            const Item &item = sequence[at];
            const bool passes = item.kind == Kind::characters ? item.optional
                                : item.kind == Kind::start    ? place == 0
                                : item.kind == Kind::end
                                    ? place == text.size()
                                    : word_character(text, place) != (place > 0 && word_character(text, place - 1));
            if (passes)
                current[at + 1] = 1;
        }
        if (current[length])
            return true;
        if (place == text.size())
            break;
        std::fill(next.begin(), next.end(), 0);
        const unsigned char c = static_cast<unsigned char>(text[place]);
        for (size_t at = 0; at < length; ++at) {
            const Item &item = sequence[at];
            if (!current[at] || item.kind != Kind::characters || !item.accepts[c])
                continue;
            next[at + 1] = 1;
            if (item.repeats)
                next[at] = 1;
        }
        current.swap(next);
    }
    return false;
}

}  // namespace web
