#include "text/number_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace {

std::string library_decimal(float value) {
    char text[512];
    snprintf(text, sizeof(text), "%f", static_cast<double>(value));
    return text;
}

std::string our_decimal(float value) {
    char text[NUMBER_TEXT_SIZE];
    const int length = decimal_text(text, value);
    EXPECT_EQ(length, static_cast<int>(strlen(text)));
    return text;
}

}  // namespace

TEST(DecimalText, MatchesTheLibraryOnChosenValues) {
    const float values[] = {
        0.0f,       -0.0f,      1.0f,    -1.0f,        0.5f,        3.0f, 4000.0f, -900.0f,  0.0000005f,  -0.0000005f,
        0.0000015f, 0.0000025f, 1e-7f,   -1e-7f,       123.456789f, 1e9f, 4.4e9f,  4.6e9f,   -4.6e9f,     1e20f,
        FLT_MAX,    -FLT_MAX,   FLT_MIN, FLT_TRUE_MIN, 0.1f,        0.2f, 0.3f,    1190.95f, 16777216.0f, -16777217.0f};
    for (float value : values)
        EXPECT_EQ(our_decimal(value), library_decimal(value)) << value;
}

TEST(DecimalText, MatchesTheLibraryOnTiesAndNonFinite) {
    // Odd multiples of 1/128 are exact ties in the seventh decimal (1/128 = 0.0078125): half go up,
    // half down, to the even neighbour.
    for (int k = 0; k < 4096; ++k) {
        const float tie = static_cast<float>(2 * k + 1) / 128.0f;
        ASSERT_EQ(std::fmod(static_cast<double>(tie) * 1e6, 1.0), 0.5);
        EXPECT_EQ(our_decimal(tie), library_decimal(tie)) << k;
        EXPECT_EQ(our_decimal(-tie), library_decimal(-tie)) << k;
        const float binary = static_cast<float>(k) / 64.0f + 1.0f / 2097152.0f;
        EXPECT_EQ(our_decimal(binary), library_decimal(binary)) << k;
        EXPECT_EQ(our_decimal(-binary), library_decimal(-binary)) << k;
    }
    for (float value : {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                        std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(our_decimal(value), library_decimal(value));
}

TEST(DecimalText, MatchesTheLibraryOnAMillionRandomFloats) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<uint32_t> bits;
    int checked = 0;
    for (int i = 0; i < 1000000; ++i) {
        uint32_t pattern = bits(random);
        if (i % 2)  // half of them in the range coordinates and ratios live in
            pattern = (pattern & 0x807FFFFF) | ((100 + pattern % 60) << 23);
        float value;
        memcpy(&value, &pattern, sizeof(value));
        ASSERT_EQ(our_decimal(value), library_decimal(value)) << pattern;
        ++checked;
    }
    EXPECT_EQ(checked, 1000000);
}

TEST(WholeNumberText, MatchesTheLibrary) {
    for (long long value : {0LL, 1LL, -1LL, 7LL, 40015LL, -2147483648LL, 2147483647LL, -9223372036854775807LL - 1,
                            9223372036854775807LL}) {
        char ours[NUMBER_TEXT_SIZE], library[64];
        whole_number_text(ours, value);
        snprintf(library, sizeof(library), "%lld", value);
        EXPECT_STREQ(ours, library);
    }
}
