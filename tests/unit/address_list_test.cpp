#include "net/address_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

uint32_t ip(const char *text) {
    AddressRange range{};
    EXPECT_TRUE(parse_address_range(text, strlen(text), &range)) << text;
    return range.network;
}

bool parses(const std::string &entry) {
    AddressRange range{};
    return parse_address_range(entry.data(), entry.size(), &range);
}

struct ListReading {
    AddressList list;
    AddressList::Reading reading{};
    std::vector<std::string> bad;
};

void collect_bad(const char *entry, size_t length, void *context) {
    static_cast<std::vector<std::string> *>(context)->emplace_back(entry, length);
}

ListReading read_list(const std::string &text) {
    ListReading result;
    result.reading = result.list.read(text.c_str(), text.size(), collect_bad, &result.bad);
    return result;
}

}  // namespace

TEST(AddressEntry, AddressesAndPrefixesWithinTheirRanges) {
    AddressRange range{};
    ASSERT_TRUE(parse_address_range("192.0.2.17", 10, &range));
    EXPECT_EQ(range.network, 0xC0000211u);
    EXPECT_EQ(range.mask, 0xFFFFFFFFu);
    ASSERT_TRUE(parse_address_range("10.1.2.3/8", 10, &range));
    EXPECT_EQ(range.network, 0x0A000000u);  // bits past the prefix do not count
    EXPECT_EQ(range.mask, 0xFF000000u);
    ASSERT_TRUE(parse_address_range("255.255.255.255/0", 17, &range));
    EXPECT_EQ(range.mask, 0u);
    EXPECT_EQ(range.network, 0u);
    for (const char *good : {"0.0.0.0", "255.255.255.255/32", "1.2.3.4/31", "1.2.3.4/1"})
        EXPECT_TRUE(parses(good)) << good;
}

TEST(AddressEntry, RefusesAnythingElse) {
    for (const char *bad : {"", "localhost", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4/33", "1.2.3.4/", "/8",
                            "1..2.3", "+1.2.3.4", "1.2.3.-4", "01.2.3.4", "1.2.3.4/08", "1.2.3.4 ", "1.2.3.4/8/8",
                            "1.2.3.4x", "99999999999.1.1.1", "1.2.3.4/4294967328", "0x7f.0.0.1"})
        EXPECT_FALSE(parses(bad)) << bad;
    EXPECT_FALSE(parses(std::string("1.2.3.4\0", 8)));  // a NUL inside the entry
    EXPECT_FALSE(parses("255.255.255.255/320"));        // longer than any entry
}

TEST(AddressList, EmptyOrOnlySeparatorsLetsEveryoneIn) {
    for (const char *text : {"", " ", ", ,\t"}) {
        ListReading read = read_list(text);
        EXPECT_FALSE(read.list.restricts()) << '"' << text << '"';
        EXPECT_TRUE(read.list.allows(ip("203.0.113.9")));
        EXPECT_EQ(read.reading.entries, 0);
    }
}

TEST(AddressList, CommaOrBlankSeparatedEntriesAndTheirEdges) {
    ListReading read = read_list(" 127.0.0.1, 10.0.0.0/8 192.0.2.17,,\t198.51.100.0/24 ");
    EXPECT_EQ(read.reading.entries, 4);
    EXPECT_EQ(read.reading.malformed, 0);
    const AddressList &list = read.list;
    EXPECT_TRUE(list.allows(ip("127.0.0.1")));
    EXPECT_FALSE(list.allows(ip("127.0.0.2")));
    EXPECT_FALSE(list.allows(ip("9.255.255.255")));
    EXPECT_TRUE(list.allows(ip("10.0.0.0")));
    EXPECT_TRUE(list.allows(ip("10.255.255.255")));
    EXPECT_FALSE(list.allows(ip("11.0.0.0")));
    EXPECT_TRUE(list.allows(ip("192.0.2.17")));
    EXPECT_FALSE(list.allows(ip("192.0.2.16")));
    EXPECT_FALSE(list.allows(ip("192.0.2.18")));
    EXPECT_TRUE(list.allows(ip("198.51.100.255")));
    EXPECT_FALSE(list.allows(ip("198.51.101.0")));

    ListReading everyone = read_list("0.0.0.0/0");
    EXPECT_TRUE(everyone.list.allows(ip("0.0.0.0")));
    EXPECT_TRUE(everyone.list.allows(ip("255.255.255.255")));
}

TEST(AddressList, BadEntriesAreNamedAndSkippedAndAllBadRefusesEveryone) {
    ListReading mixed = read_list("bogus,127.0.0.2/32 300.1.1.1");
    EXPECT_EQ(mixed.bad, (std::vector<std::string>{"bogus", "300.1.1.1"}));
    EXPECT_EQ(mixed.reading.malformed, 2);
    EXPECT_TRUE(mixed.list.allows(ip("127.0.0.2")));
    EXPECT_FALSE(mixed.list.allows(ip("127.0.0.1")));

    ListReading none = read_list("localhost, 10.0.0.0/40");
    EXPECT_TRUE(none.list.restricts());
    EXPECT_EQ(none.list.ranges(), 0);
    EXPECT_FALSE(none.list.allows(ip("127.0.0.1")));
    EXPECT_FALSE(none.list.allows(ip("10.0.0.1")));
}

TEST(AddressList, ReadingAgainReplacesTheList) {
    AddressList list;
    list.read("10.0.0.0/8", 10, nullptr, nullptr);
    list.read("192.0.2.1", 9, nullptr, nullptr);
    EXPECT_FALSE(list.allows(ip("10.0.0.1")));
    EXPECT_TRUE(list.allows(ip("192.0.2.1")));
    list.read("", 0, nullptr, nullptr);
    EXPECT_TRUE(list.allows(ip("10.0.0.1")));
}

TEST(AddressList, EntriesPastTheCapacityAreCountedAndIgnored) {
    std::string text;
    for (int i = 0; i < ADDRESS_LIST_RANGES + 3; ++i)
        text += "10.0." + std::to_string(i) + ".1 ";
    ListReading read = read_list(text);
    EXPECT_EQ(read.reading.entries, ADDRESS_LIST_RANGES + 3);
    EXPECT_EQ(read.reading.ignored, 3);
    EXPECT_TRUE(read.list.allows(ip("10.0.63.1")));
    EXPECT_FALSE(read.list.allows(ip("10.0.64.1")));
}

TEST(AddressList, StopsAtTheLengthOrAtANul) {
    AddressList list;
    const char text[] = "10.0.0.1 10.0.0.2\0 10.0.0.3";
    list.read(text, sizeof(text), nullptr, nullptr);
    EXPECT_TRUE(list.allows(ip("10.0.0.2")));
    EXPECT_FALSE(list.allows(ip("10.0.0.3")));
    list.read(text, 7, nullptr, nullptr);  // "10.0.0.1" cut to "10.0.0."
    EXPECT_TRUE(list.restricts());
    EXPECT_EQ(list.ranges(), 0);
}
