// The command line: anything that would send the server something unintended is refused.
#include "client/options.h"

#include <gtest/gtest.h>

TEST(ClientOptions, Refused) {
    const std::vector<std::vector<std::string>> refused = {
        {"h", "40015", "--send", "GET_PLAYER\nGET_SERVER"},  // one read, two lines: the second is lost
        {"h", "40015", "--send", "GET_PLAYER\r"},
        {"h", "40015", "--send", ""},
        {"h", "40015", "--raw", "--once"},
        {"h", "40015", "extra"},
        {"h", "65536"},
        {"h", "40015", "--chat", "2.5"}};
    for (const std::vector<std::string> &arguments : refused) {
        client::Options options;
        std::string error;
        EXPECT_FALSE(client::parse_options(arguments, &options, &error)) << arguments.back();
    }
}

TEST(ClientOptions, EachOptionLandsInItsField) {
    client::Options options;
    std::string error;
    ASSERT_TRUE(client::parse_options({"--send", "GET_PLAYER", "10.0.0.1", "040015", "--send", "SET_REFRESH 2",
                                       "--once", "--timeout", "0.5", "--spacing", "0", "--chat", "03", "--width", "80"},
                                      &options, &error))
        << error;
    EXPECT_EQ(options.host, "10.0.0.1");
    EXPECT_EQ(options.port, 40015);  // a leading zero is not octal
    EXPECT_EQ(options.sends, (std::vector<std::string>{"GET_PLAYER", "SET_REFRESH 2"}));
    EXPECT_TRUE(options.once);
    EXPECT_FALSE(options.raw);
    EXPECT_DOUBLE_EQ(options.timeout, 0.5);
    EXPECT_DOUBLE_EQ(options.spacing, 0.0);
    EXPECT_EQ(options.chat_lines, 3u);
    EXPECT_EQ(options.width, 80u);
}
