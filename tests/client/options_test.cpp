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
