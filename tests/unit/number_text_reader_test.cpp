#include "text/number_text_reader.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::uint64_t bits_of(double value) {
    std::uint64_t bits;
    memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// Same value bit for bit (so 0.0 and -0.0 differ); any NaN matches any NaN of the same sign.
::testing::AssertionResult same_double(double expected, double actual) {
    if (std::isnan(expected) && std::isnan(actual) && std::signbit(expected) == std::signbit(actual))
        return ::testing::AssertionSuccess();
    if (bits_of(expected) == bits_of(actual))
        return ::testing::AssertionSuccess();
    char text[128];
    snprintf(text, sizeof(text), "expected %a, read %a", expected, actual);
    return ::testing::AssertionFailure() << text;
}

struct DecimalCase {
    std::string text;
    double value;
    size_t length;  // characters that belong to the number
};

std::string repeated(char c, size_t count) { return std::string(count, c); }

// Exact expected values, the same in every build: hexadecimal literals where the decimal form
// would itself need a reader.
const DecimalCase kDecimalCases[] = {
    // Not a number and infinities, in any case, with their full words.
    {"nan", kNaN, 3},
    {"NAN", kNaN, 3},
    {"-nan", -kNaN, 4},
    {"NaN(12_ab)", kNaN, 10},
    {"nan(", kNaN, 3},
    {"nan(1 2)", kNaN, 3},
    {"inf", kInf, 3},
    {"-inf", -kInf, 4},
    {"+INF", kInf, 4},
    {"infinity", kInf, 8},
    {"-InFiNiTy", -kInf, 9},
    {"infinit", kInf, 3},
    {"in", 0.0, 0},
    // Hexadecimal floats.
    {"0x1p3", 8.0, 5},
    {"0X1.8P1", 3.0, 7},
    {"0x.8", 0.5, 4},
    {"-0x10", -16.0, 5},
    {"0x1p", 1.0, 3},
    {"0x", 0.0, 1},
    {"0x.p1", 0.0, 1},
    {"0xg", 0.0, 1},
    {"0x1p-1074", 0x1p-1074, 9},
    {"0x1p-1075", 0.0, 9},  // exactly half the smallest subnormal: to even
    {"0x1.0000000001p-1075", 0x1p-1074, 20},
    {"0x1.00000000000008p0", 1.0, 20},                           // tie: to even
    {"0x1.00000000000018p0", 0x1.0000000000002p0, 20},           // tie: to even, upward
    {"0x1.00000000000008000000001p0", 0x1.0000000000001p0, 29},  // just above the tie, beyond 60 bits
    {"0x1.fffffffffffff8p1023", kInf, 23},
    {"0x1.fffffffffffff7p1023", DBL_MAX, 23},
    {"0x1p99999999999999999999", kInf, 24},
    // Beyond single precision, beyond double, and below.
    {"1e39", 1e39, 4},
    {"3.4028235e38", 3.4028235e38, 12},
    {"1e309", kInf, 5},
    {"-1e309", -kInf, 6},
    {"1.7976931348623157e308", DBL_MAX, 22},
    {"1.7976931348623158e308", DBL_MAX, 22},
    {"1.7976931348623159e308", kInf, 22},
    {"1e-400", 0.0, 6},
    {"-1e-400", -0.0, 7},
    {"1e99999999999999999999", kInf, 22},
    {"1e-99999999999999999999", 0.0, 23},
    {"0e99999999999", 0.0, 13},
    // Subnormals and the edge of the normal range.
    {"4.9406564584124654e-324", 0x1p-1074, 23},
    {"2.4703282292062327e-324", 0.0, 23},
    {"2.4703282292062328e-324", 0x1p-1074, 23},
    {"2.2250738585072011e-308", 0x0.fffffffffffffp-1022, 23},
    {"2.2250738585072012e-308", 0x1p-1022, 23},
    {"1e-310", 1e-310, 6},
    // Correct rounding where the deciding digit comes late.
    {"0.1", 0.1, 3},
    {"9007199254740993", 9007199254740992.0, 16},
    {"9007199254740993." + repeated('0', 900) + "1", 9007199254740994.0, 918},
    {"9007199254740995", 9007199254740996.0, 16},
    // Spaces, signs, points and the end of the number.
    {"  \t\n+1.5xyz", 1.5, 8},
    {"5 ", 5.0, 1},
    {"1,5", 1.0, 1},
    {"1e", 1.0, 1},
    {"1e+", 1.0, 1},
    {"1.e2", 100.0, 4},
    {".5", 0.5, 2},
    {"-.5e-1", -0.05, 6},
    {"1..5", 1.0, 2},
    {"-0", -0.0, 2},
    {"0.000", 0.0, 5},
    {"", 0.0, 0},
    {"   ", 0.0, 0},
    {".", 0.0, 0},
    {"-", 0.0, 0},
    {"+", 0.0, 0},
    {"- 1", 0.0, 0},
    {"e5", 0.0, 0},
    // Very long digit strings.
    {"1" + repeated('0', 400), kInf, 401},
    {"0." + repeated('0', 400) + "1", 0.0, 403},
    {repeated('0', 5000) + "7", 7.0, 5001},
    {"1." + repeated('0', 5000), 1.0, 5002},
    {"1" + repeated('0', 1000) + "e-1000", 1.0, 1007},
    {"0." + repeated('0', 1000) + "1e1001", 1.0, 1008},
    {repeated('1', 1000), kInf, 1000},
    {"1." + repeated('9', 1000), 2.0, 1002},
};

}  // namespace

TEST(ReadDecimal, GivesTheExactValueAndEndOfEveryAwkwardInput) {
    for (const DecimalCase &c : kDecimalCases) {
        const char *end = nullptr;
        const double value = read_decimal(c.text.c_str(), &end);
        const std::string shown = c.text.size() > 40 ? c.text.substr(0, 40) + "..." : c.text;
        EXPECT_TRUE(same_double(c.value, value)) << '"' << shown << '"';
        EXPECT_EQ(static_cast<size_t>(end - c.text.c_str()), c.length) << '"' << shown << '"';
        EXPECT_TRUE(same_double(c.value, read_decimal(c.text.c_str()))) << "without an end pointer";
    }
}

TEST(ReadDecimal, ReadsBackEveryDoubleAsPrinted) {
    // "%.17g" and "%a" of any double read back as that double: the decimal arithmetic and the
    // hexadecimal rounding over the whole exponent range, subnormals included.
    std::mt19937_64 random(13);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t bits = random();
        double value;
        memcpy(&value, &bits, sizeof(value));
        if (!std::isfinite(value))
            continue;
        char text[64];
        snprintf(text, sizeof(text), "%.17g", value);
        ASSERT_TRUE(same_double(value, read_decimal(text))) << text;
        snprintf(text, sizeof(text), "%a", value);
        ASSERT_TRUE(same_double(value, read_decimal(text))) << text;
    }
}

#if defined(__GLIBC__)
// On Linux the C library's reader in the "C" locale is the reference: our reader must agree with
// it everywhere, so that the Linux library's behaviour is what it always was.
TEST(ReadDecimal, AgreesWithGlibcOnGeneratedTexts) {
    std::mt19937 random(25);
    const char alphabet[] = "0123456789..eE+-pPxX  infatyINFATY()";
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        const int length = static_cast<int>(random() % 24);
        for (int j = 0; j < length; ++j)
            text += alphabet[random() % (sizeof(alphabet) - 1)];
        if (random() % 3 == 0)
            text = std::to_string(random()) + "." + std::to_string(random()) + "e" +
                   std::to_string(static_cast<int>(random() % 700) - 350);
        char *library_end = nullptr;
        const double expected = strtod(text.c_str(), &library_end);
        const char *end = nullptr;
        const double value = read_decimal(text.c_str(), &end);
        ASSERT_TRUE(same_double(expected, value)) << '"' << text << '"';
        ASSERT_EQ(end, library_end) << '"' << text << '"';
    }
}
#endif

TEST(ReadDecimal, IgnoresTheLocale) {
    // A server may run in a locale whose decimal separator is a comma; requests still use points.
    const char *const comma_locales[] = {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8", "German", "French"};
    const std::string before = setlocale(LC_NUMERIC, nullptr);
    bool comma = false;
    for (const char *name : comma_locales) {
        if (setlocale(LC_NUMERIC, name) && strtod("1,5", nullptr) == 1.5) {
            comma = true;
            break;
        }
    }
    EXPECT_EQ(read_decimal("1.5"), 1.5);
    EXPECT_EQ(read_decimal("1,5"), 1.0);
    setlocale(LC_NUMERIC, before.c_str());
    if (!comma)
        GTEST_SKIP() << "no locale with a decimal comma is installed; only the current locale was checked";
}

TEST(ReadWhole, ReadsLeadingDigitsAndStopsAtTheLimits) {
    const struct {
        std::string text;
        long long value;
        size_t length;
    } cases[] = {
        {"27015", 27015, 5},
        {"  -12abc", -12, 5},
        {"+5", 5, 2},
        {"2.5", 2, 1},
        {"1e3", 1, 1},
        {"0x10", 0, 1},
        {"9223372036854775807", 9223372036854775807LL, 19},
        {"9223372036854775808", 9223372036854775807LL, 19},
        {"-9223372036854775808", -9223372036854775807LL - 1, 20},
        {"-9223372036854775809", -9223372036854775807LL - 1, 20},
        {"99999999999999999999999999", 9223372036854775807LL, 26},
        {repeated('0', 3000) + "42", 42, 3002},
        {"-0", 0, 2},
        {"", 0, 0},
        {"-", 0, 0},
        {" + 1", 0, 0},
        {"nan", 0, 0},
    };
    for (const auto &c : cases) {
        const char *end = nullptr;
        EXPECT_EQ(read_whole(c.text.c_str(), &end), c.value) << '"' << c.text << '"';
        EXPECT_EQ(static_cast<size_t>(end - c.text.c_str()), c.length) << '"' << c.text << '"';
    }
}
