#include "net/cstrings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> entries(const CStrings &list) {
    std::vector<std::string> out;
    for (unsigned int i = 0; i < list.GetSize(); ++i)
        out.push_back(list[i]);
    return out;
}

std::vector<std::string> split(const char *data, char delim, char skip) {
    CStrings list;
    list.ParseString(data, delim, skip);
    return entries(list);
}

}  // namespace

TEST(CStringsQueue, FirstInFirstOut) {
    CStrings list;
    EXPECT_EQ(list.Pop(), nullptr);
    list.Push("a");
    list.Push("b");
    EXPECT_STREQ(list.Pop(), "a");
    EXPECT_STREQ(list[0], "b");
    EXPECT_EQ(list[1], nullptr);
    EXPECT_STREQ(list.Pop(), "b");
    EXPECT_EQ(list.GetSize(), 0u);
    EXPECT_EQ(list[0], nullptr);
    EXPECT_EQ(list.Pop(), nullptr);
}

TEST(CStringsQueue, PushKeepsACopy) {
    CStrings list;
    char text[] = "chat";
    list.Push(text);
    text[0] = 'X';
    EXPECT_STREQ(list[0], "chat");
    list.Push("abcdef", 3);
    EXPECT_STREQ(list[1], "abc");
}

TEST(CStringsSplit, LinesAtNewlineWithoutQuoting) {
    EXPECT_EQ(split("a\n\nb", '\n', '\0'), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(split("a\n", '\n', '\0'), (std::vector<std::string>{"a"}));
    EXPECT_EQ(split("\na", '\n', '\0'), (std::vector<std::string>{"", "a"}));
    EXPECT_TRUE(split("", '\n', '\0').empty());
    EXPECT_TRUE(split(nullptr, '\n', '\0').empty());
}

TEST(CStringsSplit, WordsWithQuotes) {
    // A quote that starts a word opens nothing; the closing one at the very end has no effect.
    EXPECT_EQ(split("x \"a b\"", ' ', '"'), (std::vector<std::string>{"x", "\"a", "b\""}));
    // A quote inside a word opens a quoted section in which spaces do not split.
    EXPECT_EQ(split("x y\"a b\"", ' ', '"'), (std::vector<std::string>{"x", "y\"a b\""}));
    // An escaped quote inverts nothing.
    EXPECT_EQ(split("x y\\\"a b", ' ', '"'), (std::vector<std::string>{"x", "y\\\"a", "b"}));
    // A quoted player token: its closing quote opens a section that runs to the next quote.
    EXPECT_EQ(split("L - \"Bob<7><BOT><CT>\" say \"hi there\"", ' ', '"'),
              (std::vector<std::string>{"L", "-", "\"Bob<7><BOT><CT>\" say \"hi", "there\""}));
}

TEST(CStringsCombine, JoinsRangesWithTheSeparator) {
    CStrings list;
    EXPECT_EQ(list.Combine(0, ~0u, ""), nullptr);
    list.Push("ab");
    list.Push("cd");
    list.Push("ef");
    EXPECT_STREQ(list.Combine(0, ~0u, ""), "abcdef");
    EXPECT_STREQ(list.Combine(0, 1, "-"), "ab-cd");
    EXPECT_STREQ(list.Combine(1, ~0u, " "), "cd ef");
    EXPECT_STREQ(list.Combine(2, 2, "-"), "ef");
}

TEST(CStringsCombine, InvalidRangeGivesNullAndKeepsTheLastResult) {
    CStrings list;
    list.Push("ab");
    list.Push("cd");
    const char *joined = list.Combine(0, 1, "+");
    EXPECT_EQ(list.Combine(1, 0, ""), nullptr);
    EXPECT_EQ(list.Combine(0, 2, ""), nullptr);
    EXPECT_EQ(list.Combine(2, ~0u, ""), nullptr);
    EXPECT_STREQ(joined, "ab+cd");
}

TEST(CStringsCombine, EmptyResultGivesNull) {
    CStrings list;
    list.Push("");
    EXPECT_EQ(list.Combine(0, ~0u, ""), nullptr);
    list.Push("");
    EXPECT_STREQ(list.Combine(0, ~0u, "-"), "-");
}

TEST(CStringsClear, ReleasesEntriesAndResults) {
    CStrings list;
    list.Push("a");
    list.Push("b");
    list.Pop();
    list.Combine(0, ~0u, "");
    list.Clear();
    EXPECT_EQ(list.GetSize(), 0u);
    EXPECT_EQ(list.Pop(), nullptr);
    list.Push("c");
    EXPECT_STREQ(list.Combine(0, ~0u, ""), "c");
}
