// The string list as tokenizer and joiner, with arbitrary text, separators and ranges: joining
// the pieces of a split with the separator gives the text back (when no empty piece was lost).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "net/cstrings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 4)
        return 0;
    const char delim = static_cast<char>(data[0]);
    const char skip = static_cast<char>(data[1]);
    const unsigned int first = data[2] % 8, last = data[3] % 8 == 7 ? ~0u : data[3] % 8;
    const std::string text(reinterpret_cast<const char *>(data + 4), size - 4);

    CStrings list;
    list.ParseString(text.c_str(), delim, skip);
    const char *joined = list.Combine(0, ~0u, std::string(1, delim).c_str());
    const std::string whole = text.c_str();  // the split stops at the first NUL
    std::string expected = whole;
    if (!expected.empty() && expected.back() == delim && delim != '\0')
        expected.pop_back();  // a delimiter at the very end adds no empty piece
    // Quoting keeps delimiters inside pieces, so the round trip is exact only without quotes.
    const bool quoted = skip != '\0' && whole.find(skip) != std::string::npos;
    if (delim != '\0' && !quoted && joined && expected != joined)
        __builtin_trap();
    list.Combine(first, last, "--");
    while (list.Pop()) {
    }
    list.Push(whole.c_str());
    list.Clear();
    return 0;
}
