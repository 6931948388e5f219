#include "text/number_text_reader.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

// The double format: 52 stored mantissa bits, 11 exponent bits biased by 1023.
const int MANTISSA_BITS = 52;
const int EXPONENT_BIAS = 1023;
const int EXPONENT_ALL_ONES = 0x7FF;
const std::uint64_t MANTISSA_MASK = (std::uint64_t{1} << MANTISSA_BITS) - 1;
const std::uint64_t SIGN_BIT = std::uint64_t{1} << 63;
const std::uint64_t INFINITY_BITS = std::uint64_t{EXPONENT_ALL_ONES} << MANTISSA_BITS;
const std::uint64_t NAN_BITS = INFINITY_BITS | (std::uint64_t{1} << (MANTISSA_BITS - 1));

// Digit counts and exponents beyond this give an infinity or a zero anyway; the bound keeps the
// arithmetic on them from overflowing however long the text is.
const int EXPONENT_LIMIT = 1000000;

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int hex_value(char c) {
    if (is_digit(c))
        return c - '0';
    const char l = lower(c);
    return l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
}

// word, in lower case, matches the start of text in any case.
bool starts_with(const char *text, const char *word) {
    for (; *word; ++text, ++word)
        if (lower(*text) != *word)
            return false;
    return true;
}

const char *skip_space(const char *text) {
    while (is_space(*text))
        ++text;
    return text;
}

int clamp_exponent(long long value) {
    return static_cast<int>(value > EXPONENT_LIMIT    ? EXPONENT_LIMIT
                            : value < -EXPONENT_LIMIT ? -EXPONENT_LIMIT
                                                      : value);
}

// An exponent after a mantissa: the marker, an optional sign, at least one digit. Adds it to
// *exponent and returns the text after it; without one, returns text and adds nothing.
const char *read_exponent(const char *text, char marker, int *exponent) {
    if (lower(*text) != marker)
        return text;
    const char *p = text + 1;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    if (!is_digit(*p))
        return text;
    long long value = 0;
    for (; is_digit(*p); ++p)
        if (value < EXPONENT_LIMIT)
            value = value * 10 + (*p - '0');
    *exponent = clamp_exponent(static_cast<long long>(*exponent) + (negative ? -value : value));
    return p;
}

// "nan" may be followed by "(chars)", letters, digits and underscores, which belong to it.
const char *after_nan(const char *text) {
    if (*text != '(')
        return text;
    const char *p = text + 1;
    while (is_digit(*p) || (lower(*p) >= 'a' && lower(*p) <= 'z') || *p == '_')
        ++p;
    return *p == ')' ? p + 1 : text;
}

// ---- Decimal numbers: exact decimal arithmetic on the digits, halved and doubled until the
// binary exponent is known, then rounded once. 800 digits hold every digit that can decide the
// rounding of a double; later non-zero digits are remembered as "truncated".

enum { MAX_DIGITS = 800, SHIFT_STEP = 60 };

struct Decimal {
    unsigned char digits[MAX_DIGITS];  // 0 to 9, most significant first, no trailing zeros
    int count = 0;                     // digits in use; 0 is the number 0
    int point = 0;                     // the value is 0.digits times 10^point
    bool truncated = false;            // non-zero digits were dropped after the last one
};

void trim(Decimal &d) {
    while (d.count > 0 && d.digits[d.count - 1] == 0)
        --d.count;
    if (d.count == 0)
        d.point = 0;
}

// Divides by 2^k, k at most SHIFT_STEP.
void shift_right(Decimal &d, unsigned k) {
    int read = 0;
    int write = 0;
    std::uint64_t n = 0;
    for (; (n >> k) == 0; ++read) {
        if (read >= d.count) {
            if (n == 0) {
                d.count = 0;
                return;
            }
            while ((n >> k) == 0) {
                n *= 10;
                ++read;
            }
            break;
        }
        n = n * 10 + d.digits[read];
    }
    d.point -= read - 1;
    const std::uint64_t mask = (std::uint64_t{1} << k) - 1;
    for (; read < d.count; ++read) {
        d.digits[write++] = static_cast<unsigned char>(n >> k);
        n = (n & mask) * 10 + d.digits[read];
    }
    while (n > 0) {
        const unsigned digit = static_cast<unsigned>(n >> k);
        if (write < MAX_DIGITS)
            d.digits[write++] = static_cast<unsigned char>(digit);
        else if (digit > 0)
            d.truncated = true;
        n = (n & mask) * 10;
    }
    d.count = write;
    trim(d);
}

// Multiplies by 2^k, k at most SHIFT_STEP: from the last digit up, into a buffer with room for
// the new leading digits.
void shift_left(Decimal &d, unsigned k) {
    unsigned char product[MAX_DIGITS + 20];
    int start = static_cast<int>(sizeof(product));
    std::uint64_t n = 0;
    for (int read = d.count - 1; read >= 0; --read) {
        n += static_cast<std::uint64_t>(d.digits[read]) << k;
        product[--start] = static_cast<unsigned char>(n % 10);
        n /= 10;
    }
    for (; n > 0; n /= 10)
        product[--start] = static_cast<unsigned char>(n % 10);
    const int length = static_cast<int>(sizeof(product)) - start;
    d.point += length - d.count;
    d.count = length < MAX_DIGITS ? length : MAX_DIGITS;
    for (int i = d.count; i < length; ++i)
        if (product[start + i] != 0)
            d.truncated = true;
    memcpy(d.digits, product + start, static_cast<size_t>(d.count));
    trim(d);
}

// Multiplies by 2^k (divides for k below 0).
void shift(Decimal &d, int k) {
    for (; k > SHIFT_STEP; k -= SHIFT_STEP)
        shift_left(d, SHIFT_STEP);
    for (; k < -SHIFT_STEP; k += SHIFT_STEP)
        shift_right(d, SHIFT_STEP);
    if (k > 0)
        shift_left(d, static_cast<unsigned>(k));
    else if (k < 0)
        shift_right(d, static_cast<unsigned>(-k));
}

// Rounding at digit `at`: up above one half, to even at exactly one half.
bool rounds_up(const Decimal &d, int at) {
    if (at < 0 || at >= d.count)
        return false;
    if (d.digits[at] == 5 && at + 1 == d.count)
        return d.truncated || (at > 0 && d.digits[at - 1] % 2 == 1);
    return d.digits[at] >= 5;
}

// The whole part, rounded; the value is below 2^54 here.
std::uint64_t rounded_integer(const Decimal &d) {
    std::uint64_t n = 0;
    int i = 0;
    for (; i < d.point && i < d.count; ++i)
        n = n * 10 + d.digits[i];
    for (; i < d.point; ++i)
        n *= 10;
    return rounds_up(d, d.point) ? n + 1 : n;
}

// Halvings or doublings that bring a number with `point` digits before the point closest to
// [0.5, 1) without passing it (2^n stays below 10^point).
int power_of_two_step(int point) {
    static const int steps[] = {1, 3, 6, 9, 13, 16, 19, 23, 26};
    return point < static_cast<int>(sizeof(steps) / sizeof(steps[0])) ? steps[point] : 27;
}

// The bits of the double nearest to d (d is changed on the way).
std::uint64_t decimal_bits(Decimal &d) {
    if (d.count == 0 || d.point < -330)
        return 0;
    if (d.point > 310)
        return INFINITY_BITS;
    int exponent = 0;
    while (d.count > 0 && d.point > 0) {
        const int n = power_of_two_step(d.point);
        shift(d, -n);
        exponent += n;
    }
    while (d.count > 0 && (d.point < 0 || (d.point == 0 && d.digits[0] < 5))) {
        const int n = power_of_two_step(-d.point);
        shift(d, n);
        exponent -= n;
    }
    --exponent;  // now 1 <= value * 2^-exponent < 2
    const int lowest = 1 - EXPONENT_BIAS;
    if (exponent < lowest) {  // below the normal range: fewer mantissa bits
        shift(d, exponent - lowest);
        exponent = lowest;
    }
    if (exponent + EXPONENT_BIAS >= EXPONENT_ALL_ONES)
        return INFINITY_BITS;
    shift(d, MANTISSA_BITS + 1);
    std::uint64_t mantissa = rounded_integer(d);
    if (mantissa == std::uint64_t{2} << MANTISSA_BITS) {  // rounding carried into a new bit
        mantissa >>= 1;
        if (++exponent + EXPONENT_BIAS >= EXPONENT_ALL_ONES)
            return INFINITY_BITS;
    }
    const bool subnormal = (mantissa >> MANTISSA_BITS) == 0;
    const std::uint64_t biased = subnormal ? 0 : static_cast<std::uint64_t>(exponent + EXPONENT_BIAS);
    return (biased << MANTISSA_BITS) | (mantissa & MANTISSA_MASK);
}

// Digits with at most one point, then an optional exponent. Null when there is no digit.
const char *read_decimal_digits(const char *text, Decimal &d) {
    bool any_digit = false;
    bool after_point = false;
    const char *p = text;
    for (;; ++p) {
        if (*p == '.' && !after_point) {
            after_point = true;
            continue;
        }
        if (!is_digit(*p))
            break;
        any_digit = true;
        const unsigned char digit = static_cast<unsigned char>(*p - '0');
        if (d.count == 0 && digit == 0) {  // a leading zero only moves the point
            if (after_point && d.point > -EXPONENT_LIMIT)
                --d.point;
            continue;
        }
        if (!after_point && d.point < EXPONENT_LIMIT)
            ++d.point;
        if (d.count < MAX_DIGITS)
            d.digits[d.count++] = digit;
        else if (digit != 0)
            d.truncated = true;
    }
    if (!any_digit)
        return nullptr;
    p = read_exponent(p, 'e', &d.point);
    trim(d);
    return p;
}

// ---- Hexadecimal numbers: the first 60 bits of digits exactly, later ones only as "not zero",
// then rounded once to the bits the double holds.

// m * 2^exponent, with sticky meaning "a little more than that", rounded to a double.
std::uint64_t binary_bits(std::uint64_t m, int exponent, bool sticky) {
    if (m == 0)
        return 0;
    while ((m >> 63) == 0) {
        m <<= 1;
        --exponent;
    }
    const int top = exponent + 63;  // the value is in [2^top, 2^(top+1))
    if (top > EXPONENT_BIAS)
        return INFINITY_BITS;
    const int lowest = 1 - EXPONENT_BIAS;
    const int keep = top >= lowest ? MANTISSA_BITS + 1 : MANTISSA_BITS + 1 - (lowest - top);
    if (keep <= 0)  // at most half the smallest subnormal: ties to even give 0
        return keep == 0 && (m != SIGN_BIT || sticky) ? 1 : 0;
    const int drop = 64 - keep;
    std::uint64_t kept = m >> drop;
    const std::uint64_t rest = m & ((std::uint64_t{1} << drop) - 1);
    const std::uint64_t half = std::uint64_t{1} << (drop - 1);
    if (rest > half || (rest == half && (sticky || (kept & 1))))
        ++kept;
    if (top < lowest)  // subnormal: a carry into bit 52 is the smallest normal number, as it should be
        return kept;
    int biased = top + EXPONENT_BIAS;
    if (kept >> (MANTISSA_BITS + 1)) {
        kept >>= 1;
        if (++biased >= EXPONENT_ALL_ONES)
            return INFINITY_BITS;
    }
    return (static_cast<std::uint64_t>(biased) << MANTISSA_BITS) | (kept & MANTISSA_MASK);
}

// Hex digits with at most one point, then an optional binary exponent ("p"). Null when there is
// no digit.
const char *read_hex_digits(const char *text, std::uint64_t *bits) {
    std::uint64_t m = 0;
    int exponent = 0;
    bool sticky = false;
    bool any_digit = false;
    bool after_point = false;
    const char *p = text;
    for (;; ++p) {
        if (*p == '.' && !after_point) {
            after_point = true;
            continue;
        }
        const int value = hex_value(*p);
        if (value < 0)
            break;
        any_digit = true;
        if ((m >> 60) == 0) {
            m = m * 16 + static_cast<unsigned>(value);
            if (after_point)
                exponent = clamp_exponent(exponent - 4LL);
        } else {
            sticky = sticky || value != 0;
            if (!after_point)
                exponent = clamp_exponent(exponent + 4LL);
        }
    }
    if (!any_digit)
        return nullptr;
    p = read_exponent(p, 'p', &exponent);
    *bits = binary_bits(m, exponent, sticky);
    return p;
}

double from_bits(std::uint64_t bits) {
    double value;
    memcpy(&value, &bits, sizeof(value));
    return value;
}

}  // namespace

double read_decimal(const char *text, const char **end) {
    const char *p = skip_space(text);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    std::uint64_t bits = 0;
    const char *after = nullptr;
    if (starts_with(p, "inf")) {
        after = starts_with(p + 3, "inity") ? p + 8 : p + 3;
        bits = INFINITY_BITS;
    } else if (starts_with(p, "nan")) {
        after = after_nan(p + 3);
        bits = NAN_BITS;
    } else if (p[0] == '0' && lower(p[1]) == 'x') {
        after = read_hex_digits(p + 2, &bits);
    }
    if (!after) {  // also "0x" without hex digits: the "0" alone
        Decimal d;
        after = read_decimal_digits(p, d);
        if (!after) {
            if (end)
                *end = text;
            return 0.0;
        }
        bits = decimal_bits(d);
    }
    if (end)
        *end = after;
    return from_bits(negative ? bits | SIGN_BIT : bits);
}

long long read_whole(const char *text, const char **end) {
    const char *p = skip_space(text);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    if (!is_digit(*p)) {
        if (end)
            *end = text;
        return 0;
    }
    const unsigned long long limit = negative ? 0ULL - static_cast<unsigned long long>(LLONG_MIN) : LLONG_MAX;
    unsigned long long magnitude = 0;
    bool beyond = false;
    for (; is_digit(*p); ++p) {
        const unsigned digit = static_cast<unsigned>(*p - '0');
        if (beyond || magnitude > (limit - digit) / 10)
            beyond = true;
        else
            magnitude = magnitude * 10 + digit;
    }
    if (end)
        *end = p;
    if (beyond)
        return negative ? LLONG_MIN : LLONG_MAX;
    return static_cast<long long>(negative ? 0ULL - magnitude : magnitude);  // two's complement: LLONG_MIN too
}
