#include "net/admission.h"

#include <string>

#include "unit/plugin_fixture.h"

namespace {

uint32_t ip(int a, int b, int c, int d) {
    return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(b) << 16 | static_cast<uint32_t>(c) << 8 |
           static_cast<uint32_t>(d);
}

class AdmissionTest : public PluginFixture {
protected:
    void SetUp() override { attach(); }
    int lines(const std::string &fragment) { return engine.log().count(fragment); }

    Admission gate;
};

}  // namespace

TEST(MinuteCounts, CountsPerAddressAndStartsAnewEachMinute) {
    MinuteCounts counts;
    EXPECT_EQ(counts.count(ip(10, 0, 0, 1), 5), 1u);
    EXPECT_EQ(counts.count(ip(10, 0, 0, 1), 5), 2u);
    EXPECT_EQ(counts.count(ip(10, 0, 0, 2), 5), 1u);
    EXPECT_EQ(counts.count(ip(10, 0, 0, 1), 6), 1u);
    EXPECT_EQ(counts.count(ip(10, 0, 0, 1), 0), 1u);  // a clock that restarted at a map change
}

TEST(MinuteCounts, AFullTableGivesUpEarlierMinutesFirstThenTheLeastRecentlySeen) {
    MinuteCounts counts;
    counts.count(ip(192, 0, 2, 1), 1);  // from the minute before
    for (int i = 0; i < MINUTE_COUNT_ENTRIES - 1; ++i)
        counts.count(ip(10, 0, i / 256, i % 256), 2);
    counts.count(ip(10, 0, 0, 0), 2);     // seen again: now the most recent
    counts.count(ip(203, 0, 113, 1), 2);  // takes the earlier minute's entry
    EXPECT_EQ(counts.count(ip(10, 0, 0, 1), 2), 2u);
    counts.count(ip(203, 0, 113, 2), 2);  // takes the least recently seen: 10.0.0.2
    EXPECT_EQ(counts.count(ip(10, 0, 0, 0), 2), 3u);
    EXPECT_EQ(counts.count(ip(10, 0, 0, 3), 2), 2u);
    EXPECT_EQ(counts.count(ip(10, 0, 0, 2), 2), 1u);  // forgotten, counted anew
}

TEST(MinuteCounts, MinutesOfTheServerClock) {
    EXPECT_EQ(minute_of(0.0), 0);
    EXPECT_EQ(minute_of(59.99), 0);
    EXPECT_EQ(minute_of(60.0), 1);
    EXPECT_EQ(minute_of(-0.5), -1);
}

TEST_F(AdmissionTest, DefaultsAdmitEveryoneAndLogNothing) {
    EXPECT_FALSE(gate.set_allow_list(""));
    gate.set_rate(0);
    for (int i = 0; i < 1000; ++i)
        EXPECT_TRUE(gate.admit(ip(203, 0, 113, 7), 10.0));
    EXPECT_EQ(lines("[ORLEX]"), 0);
}

TEST_F(AdmissionTest, AListIsReadOnlyWhenItChangesAndEachBadEntryNamedOnce) {
    EXPECT_TRUE(gate.set_allow_list("127.0.0.1 bogus"));
    EXPECT_FALSE(gate.set_allow_list("127.0.0.1 bogus"));
    EXPECT_EQ(lines("[ORLEX] orlex_mm_allow: ignoring \"bogus\": not an IPv4 address or address/prefix"), 1);
    EXPECT_EQ(lines("[ORLEX] orlex_mm_allow: entries in use: 1; connections from any other address are refused"), 1);
    EXPECT_TRUE(gate.allows(ip(127, 0, 0, 1)));
    EXPECT_FALSE(gate.admit(ip(127, 0, 0, 2), 10.0));

    EXPECT_TRUE(gate.set_allow_list("bogus"));
    EXPECT_EQ(lines("[ORLEX] orlex_mm_allow: no entry parses; refusing every connection"), 1);
    EXPECT_FALSE(gate.admit(ip(127, 0, 0, 1), 10.0));

    EXPECT_TRUE(gate.set_allow_list(""));
    EXPECT_EQ(lines("[ORLEX] orlex_mm_allow is empty; every address may connect"), 1);
    EXPECT_TRUE(gate.admit(ip(127, 0, 0, 2), 10.0));
}

TEST_F(AdmissionTest, LongOrGarbageListsGiveABoundedNumberOfLines) {
    std::string garbage(60, 'x');
    garbage += " ";
    for (int i = 0; i < 300; ++i)
        garbage += std::string(1 + i % 50, 'x') + " ";
    garbage += "127.0.0.1";  // past the part that is read
    ASSERT_GT(garbage.size(), static_cast<size_t>(ALLOW_TEXT_SIZE));
    gate.set_allow_list(garbage.c_str());
    EXPECT_EQ(lines("[ORLEX] orlex_mm_allow: ignoring"), BAD_ENTRY_LINES);
    EXPECT_EQ(lines("\"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\""), 1);  // a long entry is cut in its line
    EXPECT_EQ(lines("more entries do not parse"), 1);
    EXPECT_EQ(lines("[ORLEX] orlex_mm_allow is longer than 1023 characters; the rest is ignored"), 1);
    EXPECT_EQ(lines("refusing every connection"), 1);
    EXPECT_FALSE(gate.admit(ip(127, 0, 0, 1), 10.0));
    const int before = lines("[ORLEX]");
    garbage.back() = '2';  // a change past the part that is read changes nothing
    EXPECT_FALSE(gate.set_allow_list(garbage.c_str()));
    EXPECT_EQ(lines("[ORLEX]"), before);
}

TEST_F(AdmissionTest, RateLimitRefusesForTheRestOfTheMinuteWithOneLine) {
    gate.set_rate(3);
    EXPECT_EQ(lines("[ORLEX] orlex_mm_rate: at most 3 new connections per address per minute"), 1);
    const uint32_t busy = ip(198, 51, 100, 4), other = ip(198, 51, 100, 5);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(gate.admit(busy, 61.0 + i));
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(gate.admit(busy, 70.0 + i * 0.4));
    EXPECT_TRUE(gate.admit(other, 100.0));
    EXPECT_EQ(lines("[ORLEX] Refused a connection from 198.51.100.4: more new connections this minute than "
                    "orlex_mm_rate allows; refused until the minute ends"),
              1);
    EXPECT_FALSE(gate.admit(busy, 119.99));
    EXPECT_TRUE(gate.admit(busy, 120.0));  // the next minute
    gate.set_rate(0);
    EXPECT_EQ(lines("[ORLEX] orlex_mm_rate is 0; new connections are not limited"), 1);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(gate.admit(busy, 121.0));
}

TEST_F(AdmissionTest, RefusalLinesOncePerAddressPerMinuteAndBoundedInAll) {
    gate.set_allow_list("192.0.2.1");
    for (int round = 0; round < 50; ++round)
        for (int host = 2; host < 42; ++host)
            gate.admit(ip(127, 0, 0, host), 5.0 + round * 0.1);
    EXPECT_EQ(lines("[ORLEX] Refused a connection from 127.0.0.2: not in orlex_mm_allow"), 1);
    EXPECT_EQ(lines("[ORLEX] Refused a connection from"), REFUSAL_LINES_PER_MINUTE);
    EXPECT_EQ(lines("[ORLEX] Refusing connections from more addresses; no more refusal lines this minute"), 1);

    gate.admit(ip(127, 0, 0, 41), 60.0);  // unnamed last minute, named in this one
    EXPECT_EQ(lines("[ORLEX] Refused a connection from 127.0.0.41: not in orlex_mm_allow"), 1);
}
