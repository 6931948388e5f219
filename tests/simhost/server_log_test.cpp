// The server's log and its console commands keep a bounded window of the latest lines, so that a
// server left running for weeks does not grow.
#include "simhost/server_log.h"

#include <gtest/gtest.h>

#include <string>

#include "simhost/engine.h"

namespace {

std::string numbered(int number) { return "line " + std::to_string(number) + "\n"; }

TEST(ServerLog, KeepsTheLatestLinesAndCountsOverThem) {
    simhost::ServerLog log;
    const int written = static_cast<int>(simhost::ServerLog::KEPT_ENTRIES) + 10;
    for (int number = 0; number < written; ++number)
        log.write(numbered(number));
    const std::vector<std::string> kept = log.entries();
    ASSERT_EQ(kept.size(), simhost::ServerLog::KEPT_ENTRIES);
    EXPECT_EQ(kept.front(), numbered(10));
    EXPECT_EQ(kept.back(), numbered(written - 1));
    EXPECT_EQ(log.written(), static_cast<std::uint64_t>(written));
    EXPECT_FALSE(log.contains(numbered(9)));
    EXPECT_TRUE(log.contains(numbered(10)));
    EXPECT_EQ(log.count("line "), static_cast<int>(simhost::ServerLog::KEPT_ENTRIES));
}

TEST(ServerLog, ForwardsEveryLineWhateverItKeeps) {
    simhost::ServerLog log;
    int forwarded = 0;
    log.set_forward([&](const std::string &) { ++forwarded; });
    for (int number = 0; number < 5000; ++number)
        log.write(numbered(number));
    EXPECT_EQ(forwarded, 5000);
}

// The program's own first line comes before what was logged while it started, and nothing is lost.
TEST(ServerLog, StartedEchoShowsTheKeptLinesFirstThenEachNewOne) {
    simhost::ServerLog log;
    log.write(numbered(1));
    log.write(numbered(2));
    testing::internal::CaptureStdout();
    log.start_echo();
    log.write(numbered(3));
    log.start_echo();
    const std::string echoed = testing::internal::GetCapturedStdout();
    ASSERT_NE(echoed.find(numbered(3)), std::string::npos) << echoed;
    EXPECT_LT(echoed.find(numbered(1)), echoed.find(numbered(2))) << echoed;
    EXPECT_LT(echoed.find(numbered(2)), echoed.find(numbered(3))) << echoed;
    EXPECT_EQ(echoed.find(numbered(1)), echoed.rfind(numbered(1))) << "echoed twice: " << echoed;
}

TEST(EngineCommands, KeepTheLatestCommandsInOrder) {
    simhost::Engine engine(simhost::EngineConfig{});
    for (int number = 0; number < 3000; ++number)
        engine.server_command(("echo " + std::to_string(number) + "\n").c_str());
    const std::vector<std::string> kept = engine.server_commands();
    ASSERT_FALSE(kept.empty());
    EXPECT_LT(kept.size(), 3000u);
    EXPECT_EQ(kept.back(), "echo 2999\n");
    EXPECT_EQ(kept.front(), "echo " + std::to_string(3000 - kept.size()) + "\n");
}

}  // namespace
