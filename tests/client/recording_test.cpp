// orlex_client --record and --replay end to end: what a fake server sends is kept byte for byte,
// replays as the live view showed it, survives the client being killed at any point, and a bad file
// is one clear error.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "client/harness.h"
#include "client/render.h"
#include "client/sample_records.h"
#include "recording/reader.h"

extern char **environ;

using client_tests::FakeServer;
using client_tests::Program;

namespace {

const int kWait = 20000;

std::string temp_path(const std::string &name) {
    static int serial = 0;
    const std::string path = testing::TempDir() + "orlex_client_rec_" + std::to_string(getpid()) + "_" +
                             std::to_string(++serial) + "_" + name;
    std::remove(path.c_str());
    return path;
}

std::string match_bytes() {
    return samples::server("de_canned") + samples::players({"Alice", "Bob"}) + "TYPE\tSAY\nCHAT\t\"hello\"\n\n" +
           samples::players({"Alice", "Bob", "Carol"});
}

// The records of a file, one after another.
std::string records_of(const recording::Recording &recorded) {
    std::string all;
    for (size_t index = 0; index < recorded.entries.size(); ++index)
        all += recorded.record(index);
    return all;
}

// The client started directly, so that the test can kill it at a moment of its choosing.
pid_t spawn_client(const std::vector<std::string> &arguments) {
    std::string command = std::string("exec ") + ORLEX_CLIENT_LAUNCHER + " '" + ORLEX_CLIENT_PATH + "'";
    for (const std::string &argument : arguments)
        command += " '" + argument + "'";
    command += " >/dev/null 2>&1";
    const char *argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char **>(argv), environ);
    return pid;
}

}  // namespace

TEST(ClientRecording, KeepsEveryRecordAndReplaysTheSameView) {
    const std::string path = temp_path("live.orlexrec");
    FakeServer server;
    Program live({"127.0.0.1", std::to_string(server.port()), "--record", path, "--width", "80"});
    ASSERT_TRUE(server.accept_client(kWait)) << live.err();
    const std::string sent = match_bytes();
    // Cut anywhere: a record is kept whole, whatever the reads' boundaries.
    for (size_t at = 0; at < sent.size(); at += 97) {
        server.send(sent.substr(at, 97));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    server.send("TYPE\tSAY\nCHAT\t\"cut off\"\n");  // never ended: not a record
    server.hang_up();
    ASSERT_TRUE(live.wait_for_exit(kWait));
    EXPECT_EQ(live.exit_code(), 0) << live.err();
    EXPECT_NE(live.err().find("recording to " + path), std::string::npos);

    Program raw({"--replay", path, "--raw"});
    ASSERT_TRUE(raw.wait_for_exit(kWait));
    EXPECT_EQ(raw.exit_code(), 0) << raw.err();
    EXPECT_EQ(raw.out(), sent);

    Program last({"--replay", path, "--once", "--width", "80"});
    ASSERT_TRUE(last.wait_for_exit(kWait));
    view::Feed expected;
    expected.add(sent);
    EXPECT_EQ(last.out(), view::render(expected.state(), 80));

    // At its pace (here 16 times as fast) the replay ends with the same view.
    Program paced({"--replay", path, "--speed", "16", "--width", "80"});
    ASSERT_TRUE(paced.wait_for_exit(kWait));
    const std::string shown = paced.out();
    EXPECT_EQ(shown.substr(shown.rfind("----\n") == std::string::npos ? 0 : shown.rfind("----\n") + 5),
              view::render(expected.state(), 80));
}

TEST(ClientRecording, ABadFileIsOneErrorNamingFileAndOffset) {
    const std::string foreign = temp_path("foreign.txt");
    std::ofstream(foreign) << "TYPE\tSERVER\n\n";
    Program program({"--replay", foreign});
    ASSERT_TRUE(program.wait_for_exit(kWait));
    EXPECT_EQ(program.exit_code(), 1);
    EXPECT_EQ(program.out(), "");
    EXPECT_EQ(program.err(),
              "orlex_client: " + foreign + ": byte 0: not a recording (it does not start with ORLEXREC)\n");

    const std::string taken = temp_path("taken.orlexrec");
    std::ofstream(taken) << "keep me";
    FakeServer server;
    Program refused({"127.0.0.1", std::to_string(server.port()), "--record", taken});
    ASSERT_TRUE(refused.wait_for_exit(kWait));
    EXPECT_EQ(refused.exit_code(), 1);
    EXPECT_NE(refused.err().find(taken + ": cannot create"), std::string::npos);
}

// Killed at random points, many times: every file reads back, as a prefix of what was sent.
TEST(ClientRecording, KilledAnywhereTheFileReadsBackAsAPrefix) {
    std::mt19937 chance(12345);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(6);
    int rounds = 0;
    while (rounds < 5 || (std::chrono::steady_clock::now() < until && rounds < 40)) {
        ++rounds;
        const std::string path = temp_path("killed.orlexrec");
        FakeServer server;
        const pid_t client = spawn_client({"127.0.0.1", std::to_string(server.port()), "--record", path, "--raw"});
        ASSERT_GT(client, 0);
        ASSERT_TRUE(server.accept_client(kWait));
        std::string sent;
        const int sends = static_cast<int>(chance() % 40);
        for (int count = 0; count < sends; ++count) {
            const std::string record =
                count % 3 == 0 ? samples::players({"Alice", "Bob", "n" + std::to_string(count)}) : match_bytes();
            const size_t cut = chance() % record.size();
            server.send(record.substr(0, cut));
            server.send(record.substr(cut));
            sent += record;
            if (chance() % 4 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(chance() % 5));
        }
        kill(client, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(client, &status, 0), client);
        recording::Recording recorded;
        std::string error;
        if (!recording::read_recording(path, &recorded, &error)) {
            // Killed before it could write its header (one write): no file, or an empty one.
            EXPECT_TRUE(error.find("cannot open") != std::string::npos || recorded.data.empty()) << error;
            continue;
        }
        const std::string kept = records_of(recorded);
        EXPECT_EQ(sent.compare(0, kept.size(), kept), 0) << "round " << rounds;
        std::remove(path.c_str());
    }
}
