#include "text/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of value so that they end at end; returns where they start.
char *digits_backwards(char *end, unsigned long long value) {
    while (value >= 100) {
        const unsigned pair = static_cast<unsigned>(value % 100) * 2;
        value /= 100;
        *--end = kDigitPairs[pair + 1];
        *--end = kDigitPairs[pair];
    }
    if (value >= 10) {
        const unsigned pair = static_cast<unsigned>(value) * 2;
        *--end = kDigitPairs[pair + 1];
        *--end = kDigitPairs[pair];
    } else {
        *--end = static_cast<char>('0' + value);
    }
    return end;
}

int copy_out(char *out, const char *start, const char *end) {
    const int length = static_cast<int>(end - start);
    memcpy(out, start, static_cast<size_t>(length));
    out[length] = '\0';
    return length;
}

}  // namespace

int whole_number_text(char *out, long long value) {
    char text[32];
    char *const end = text + sizeof(text);
    const unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    char *start = digits_backwards(end, magnitude);
    if (value < 0)
        *--start = '-';
    return copy_out(out, start, end);
}

int decimal_text(char *out, float value) {
    // A float times 10^6 is exact in a double (24 + 20 significant bits), so rounding that product
    // to a whole number, ties to even as the C library rounds, gives the six decimals exactly.
    // Adding and taking away 2^52 rounds below 2^52 that way, without the maths library.
    const double two_to_52 = 4503599627370496.0;
    const double millionths = std::fabs(static_cast<double>(value) * 1e6);
    if (!(millionths < two_to_52))  // too large, or not a number or infinite
        return snprintf(out, NUMBER_TEXT_SIZE, "%f", static_cast<double>(value));
    const unsigned long long magnitude = static_cast<unsigned long long>((millionths + two_to_52) - two_to_52);

    char text[32];
    char *const end = text + sizeof(text);
    char *start = digits_backwards(end, magnitude % 1000000);
    while (start > end - 6)
        *--start = '0';
    *--start = '.';
    start = digits_backwards(start, magnitude / 1000000);
    if (std::signbit(value))
        *--start = '-';
    return copy_out(out, start, end);
}
