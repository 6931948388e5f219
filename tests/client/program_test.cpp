// The orlex_client program end to end, against a fake server on a real loopback socket.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>

#include "client/harness.h"
#include "client/render.h"
#include "client/sample_records.h"
#include "support/sockets.h"

using client_tests::FakeServer;
using client_tests::Program;

namespace {

using Clock = std::chrono::steady_clock;
const int kWait = 20000;  // the longest any step may take: generous, never reached when all is well

std::string port_of(const FakeServer &server) { return std::to_string(server.port()); }

// Reads until that many lines have come (or time is up), each read with its time.
std::vector<std::pair<std::string, Clock::time_point>> read_lines(FakeServer &server, size_t count) {
    std::vector<std::pair<std::string, Clock::time_point>> reads;
    size_t lines = 0;
    for (const auto deadline = Clock::now() + std::chrono::milliseconds(kWait);
         lines < count && Clock::now() < deadline;) {
        const std::string bytes = server.read(100);
        if (!bytes.empty())
            reads.emplace_back(bytes, Clock::now());
        lines += static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    }
    return reads;
}

}  // namespace

TEST(ClientOnce, AsksForServerThenPlayersAndPrintsOneSnapshot) {
    FakeServer server;
    Program program({"127.0.0.1", port_of(server), "--once", "--width", "80"});
    ASSERT_TRUE(server.accept_client(kWait)) << program.err();
    const std::string answers = samples::server("de_canned") + samples::players({"Alice", "Bob"});
    EXPECT_EQ(read_lines(server, 1).at(0).first, "GET_SERVER\n");
    server.send(answers.substr(0, answers.find("TYPE\tPLAYER")));
    EXPECT_EQ(read_lines(server, 1).at(0).first, "GET_PLAYER\n");
    server.send(answers.substr(answers.find("TYPE\tPLAYER")));
    ASSERT_TRUE(program.wait_for_exit(kWait));
    EXPECT_EQ(program.exit_code(), 0) << program.err();
    view::Feed expected;
    expected.add(answers);
    EXPECT_EQ(program.out(), view::render(expected.state(), 80));
}

TEST(ClientOnce, FailsWhenNothingArrivesOrNoServerListens) {
    FakeServer silent;
    Program waiting({"127.0.0.1", port_of(silent), "--once", "--timeout", "1"});
    Program refused({"127.0.0.1", std::to_string(testing_support::free_port()), "--once"});
    ASSERT_TRUE(waiting.wait_for_exit(kWait));
    EXPECT_EQ(waiting.exit_code(), 1);
    EXPECT_NE(waiting.err().find("nothing arrived within 1 s"), std::string::npos) << waiting.err();
    ASSERT_TRUE(refused.wait_for_exit(kWait));
    EXPECT_EQ(refused.exit_code(), 1);
    EXPECT_NE(refused.err().find("cannot connect to 127.0.0.1:"), std::string::npos) << refused.err();
}

TEST(ClientRaw, PrintsTheBytesExactlyAsSent) {
    FakeServer server;
    Program program({"localhost", port_of(server), "--raw"});
    ASSERT_TRUE(server.accept_client(kWait)) << program.err();
    const std::string stream = samples::server() + "not a record\n\n" + samples::players({"Bob"}) +
                               samples::say("Bob: hi") + "TYPE\tSAY\nCHAT\tcut off";
    const size_t cuts[] = {7, 300, 301, stream.size()};  // pieces cut inside records
    for (size_t start = 0, cut = 0; cut < std::size(cuts); start = cuts[cut++])
        server.send(stream.substr(start, cuts[cut] - start));
    server.hang_up();
    ASSERT_TRUE(program.wait_for_exit(kWait));
    EXPECT_EQ(program.exit_code(), 0) << program.err();
    EXPECT_EQ(program.out(), stream);
    EXPECT_NE(program.err().find("the server closed the connection"), std::string::npos);
}

TEST(ClientSend, CommandsArriveOneLineAtATimeSpacedApart) {
    FakeServer server;
    Program program(
        {"127.0.0.1", port_of(server), "--send", "GET_PLAYER", "--send", "SET_REFRESH 2", "--send", "GET_SERVER"});
    ASSERT_TRUE(server.accept_client(kWait)) << program.err();
    const auto reads = read_lines(server, 3);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(reads[0].first + reads[1].first + reads[2].first, "GET_PLAYER\nSET_REFRESH 2\nGET_SERVER\n");
    EXPECT_GE(reads[1].second - reads[0].second, std::chrono::milliseconds(2000));
    EXPECT_GE(reads[2].second - reads[1].second, std::chrono::milliseconds(2000));
    server.hang_up();
    ASSERT_TRUE(program.wait_for_exit(kWait));
    EXPECT_EQ(program.exit_code(), 0) << program.err();
}

// A server that never ends a record would grow the client without bound: past 64 KB without a
// record end the client says so and leaves, though the server keeps the connection open.
TEST(ClientLive, AServerThatNeverEndsARecordIsLeftPast64KB) {
    FakeServer server;
    Program program({"127.0.0.1", port_of(server)});
    ASSERT_TRUE(server.accept_client(kWait)) << program.err();
    server.send(samples::server("de_first", "Endless host"));
    ASSERT_TRUE(program.wait_for_output("Waiting for the player report\n", kWait)) << program.err();
    const std::string endless = "TYPE\tSAY\nCHAT\t" + std::string(80 * 1024, 'x');
    for (size_t at = 0; at < endless.size(); at += 4096)
        server.send(endless.substr(at, 4096));
    ASSERT_TRUE(program.wait_for_exit(kWait));
    EXPECT_EQ(program.exit_code(), 1);
    EXPECT_NE(program.err().find("the server sent more than 64 KB without a record end; disconnected"),
              std::string::npos)
        << program.err();
}

TEST(ClientLive, SnapshotsFollowTheStreamUntilTheServerCloses) {
    FakeServer server;
    Program program({"127.0.0.1", port_of(server)});
    ASSERT_TRUE(server.accept_client(kWait)) << program.err();
    server.send(samples::server("de_first", "Live host"));
    ASSERT_TRUE(program.wait_for_output("Waiting for the player report\n", kWait)) << program.err();
    server.send(samples::players({"Alice"}) + samples::say("Alice: gg"));
    ASSERT_TRUE(program.wait_for_output("Alice: gg\n", kWait));
    server.hang_up();
    ASSERT_TRUE(program.wait_for_exit(kWait));
    EXPECT_EQ(program.exit_code(), 0) << program.err();
    const size_t separator = program.out().find("----\n");  // not a terminal: snapshots one after another
    EXPECT_LT(program.out().find("Live host"), separator);
    EXPECT_NE(program.out().find("\nAlice ", separator), std::string::npos);
    EXPECT_EQ(program.out().find('\x1b'), std::string::npos);
    EXPECT_NE(program.err().find("the server closed the connection"), std::string::npos);
}
