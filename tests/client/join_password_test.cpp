// The join password in a SERVER record stays out of files: a recording the client makes holds it
// blanked (and only its owner may read the file), and a raw export of an older recording that
// holds it prints it blanked.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "client/harness.h"
#include "client/sample_records.h"
#include "recording/format.h"

using client_tests::FakeServer;
using client_tests::Program;

namespace {

const int kWait = 20000;

std::string temp_path(const std::string &name) {
    const std::string path = testing::TempDir() + "orlex_client_secret_" + std::to_string(getpid()) + "_" + name;
    std::remove(path.c_str());
    return path;
}

std::string with_password(const std::string &map) {
    std::string record = samples::server(map);
    const std::string blank = "SV_PASSWORD\t\n";
    return record.replace(record.find(blank), blank.size(), "SV_PASSWORD\thunter2\n");
}

std::string file_bytes(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(ClientJoinPassword, NeitherRecordedNorExportedRaw) {
    const std::string live_path = temp_path("live.orlexrec");
    FakeServer server;
    Program live({"127.0.0.1", std::to_string(server.port()), "--record", live_path, "--width", "80"});
    ASSERT_TRUE(server.accept_client(kWait)) << live.err();
    server.send(with_password("de_one") + samples::players({"Ann"}) + with_password("de_one"));
    server.hang_up();
    ASSERT_TRUE(live.wait_for_exit(kWait));
    const std::string recorded = file_bytes(live_path);
    EXPECT_NE(recorded.find("MAP_NAME\tde_one"), std::string::npos);
    EXPECT_EQ(recorded.find("hunter2"), std::string::npos);
    struct stat status {};
    ASSERT_EQ(stat(live_path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    // Written before the password was blanked: the export blanks it.
    const std::string old_path = temp_path("old.orlexrec");
    recording::Header header;
    header.server = "old";
    header.writer = "orlex_client";
    std::ofstream(old_path, std::ios::binary)
        << recording::encode_header(header) << recording::encode_entry(0, with_password("de_old"))
        << recording::encode_entry(10, samples::players({"Bo"}));
    Program raw({"--replay", old_path, "--raw"});
    ASSERT_TRUE(raw.wait_for_exit(kWait));
    EXPECT_EQ(raw.exit_code(), 0) << raw.err();
    EXPECT_EQ(raw.out(), samples::server("de_old") + samples::players({"Bo"}));
    std::remove(live_path.c_str());
    std::remove(old_path.c_str());
}
