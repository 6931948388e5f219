// Replays end to end: a live simulated match recorded by the gateway, then served from the file
// at 16x: the state at each record equals the state the gateway held live; pause and seek. With the
// server's log recorded too, the kill feed and round panel replay and seek alike; a file of the
// first format version still replays.
#include <gtest/gtest.h>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <dirent.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <utility>

#include "recording/reader.h"
#include "recording/writer.h"
#include "support/sockets.h"
#include "web/harness.h"
#include "web/recorder.h"

using web_testing::Gateway;
using web_testing::kWait;
using web_testing::SimServer;
using web_testing::Viewer;

namespace json = boost::json;

namespace {

// A pushed state without what differs between watching and replaying (names, link, replay
// position): records received -> the rest, as JSON text.
bool take_state(const std::string &message, std::map<int64_t, std::string> *states, json::object *last = nullptr) {
    boost::system::error_code error;
    json::value parsed = json::parse(message, error);
    if (error || !parsed.is_object() || parsed.at("type") != "state")
        return false;
    const json::object &state = parsed.at("state").as_object();
    if (last)
        *last = state;
    json::object kept;
    for (const char *key : {"records", "malformed", "server", "players", "objectives", "chat"})
        kept[key] = state.at(key);
    (*states)[state.at("records").as_int64()] = json::serialize(kept);
    return true;
}

// The name a replay of a recording file is watched under: its file name without the suffix.
std::string replay_name(const std::string &directory, const std::string &file) {
    return file.substr(directory.size() + 1, file.rfind(".orlexrec") - directory.size() - 1);
}

std::map<int64_t, std::string> collect(Viewer &viewer, int64_t until_records, json::object *last = nullptr) {
    std::map<int64_t, std::string> states;
    std::string message;
    while ((states.empty() || states.rbegin()->first < until_records) && viewer.next(&message, kWait))
        take_state(message, &states, last);
    return states;
}

std::string fresh_directory() {
    std::string pattern = "/tmp/orlex_replay_test_XXXXXX";
    return mkdtemp(&pattern[0]) ? pattern : "";
}

json::object api(int port, const std::string &target) {
    boost::system::error_code error;
    const json::value parsed = json::parse(web_testing::http_get(port, target).body, error);
    return !error && parsed.is_object() ? parsed.as_object() : json::object();
}

// A point of a match with its log: the records folded and the latest event's seq. What the state
// shows there depends on nothing else.
using Point = std::pair<int64_t, uint64_t>;

uint64_t last_seq(const json::object &state) {
    const json::array &events = state.at("log").at("events").as_array();
    return events.empty() ? 0 : events.back().at("seq").to_number<uint64_t>();
}

// A pushed state's records, chat and log part, by its point; `last` is the whole state.
bool take_logged_state(const std::string &message, std::map<Point, std::string> *states, json::object *last) {
    boost::system::error_code error;
    json::value parsed = json::parse(message, error);
    if (error || !parsed.is_object() || parsed.at("type") != "state")
        return false;
    *last = parsed.at("state").as_object();
    json::object kept;
    for (const char *key : {"records", "malformed", "server", "players", "objectives", "chat", "log"})
        kept[key] = last->at(key);
    (*states)[{last->at("records").as_int64(), last_seq(*last)}] = json::serialize(kept);
    return true;
}

// One datagram of a server's log, stamped now, as the engine sends it.
std::string log_datagram(const std::string &body) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "%m/%d/%Y - %H:%M:%S", &local);
    return std::string("\xFF\xFF\xFF\xFFlog L ") + stamp + ": " + body + "\n" + std::string(1, '\0');
}

std::string slurp(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Every file's bytes in a directory, one after another.
std::string all_bytes(const std::string &directory) {
    std::string bytes;
    if (DIR *listing = opendir(directory.c_str())) {
        while (const dirent *entry = readdir(listing))
            if (entry->d_name[0] != '.')
                bytes += slurp(directory + "/" + entry->d_name);
        closedir(listing);
    }
    return bytes;
}

// True when the shorter of the two lists is the start of the longer.
bool one_starts_the_other(const json::array &a, const json::array &b) {
    for (size_t index = 0; index < std::min(a.size(), b.size()); ++index)
        if (a[index] != b[index])
            return false;
    return true;
}

}  // namespace

TEST(Replay, ARecordedMatchReplaysAt16xWithTheSameStatesAndSeeks) {
    const std::string directory = fresh_directory();
    std::map<int64_t, std::string> live;
    {
        SimServer sim("cstrike", 8);
        Gateway gateway({"--server", "sim=" + sim.address(), "--record", directory});
        ASSERT_GT(gateway.port(), 0) << gateway.process().err();
        Viewer viewer(gateway.port());
        ASSERT_TRUE(viewer.open());
        viewer.watch("sim");
        live = collect(viewer, 25);
        ASSERT_GE(live.rbegin()->first, 25);
        EXPECT_EQ(gateway.process().stop(SIGTERM), 0);  // files closed and synced
    }
    const std::vector<std::string> files = web::Recorder(directory, 1).files();
    ASSERT_EQ(files.size(), 1u);
    const std::string name = replay_name(directory, files[0]);

    Gateway replaying({"--replay", files[0]});
    ASSERT_GT(replaying.port(), 0) << replaying.process().err();
    Viewer viewer(replaying.port());
    ASSERT_TRUE(viewer.open());
    viewer.watch(name);
    viewer.send_text("{\"replay\":\"" + name + "\",\"speed\":16,\"seek\":0}");
    json::object last;
    const std::map<int64_t, std::string> replayed = collect(viewer, live.rbegin()->first, &last);
    size_t compared = 0;
    for (const auto &state : replayed) {
        const auto seen_live = live.find(state.first);
        if (seen_live == live.end() || state.first == 0)
            continue;
        EXPECT_EQ(state.second, seen_live->second) << "after " << state.first << " records";
        ++compared;
    }
    EXPECT_GE(compared, 8u);
    EXPECT_EQ(last.at("replay").at("speed").to_number<double>(), 16);

    // Paused: it stays where it is. A seek back to the start: the state after the first record
    // (a file starts with its first record, at 0 ms).
    viewer.send_text("{\"replay\":\"" + name + "\",\"play\":false}");
    std::string message;
    std::map<int64_t, std::string> states;
    ASSERT_TRUE(testing_support::wait_until(
        [&] {
            return viewer.next(&message, 500) && take_state(message, &states, &last) &&
                   !last.at("replay").at("playing").as_bool();
        },
        kWait));
    const json::value position = last.at("replay").at("position_ms");
    viewer.send_text("{\"replay\":\"" + name + "\",\"seek\":0}");
    ASSERT_TRUE(testing_support::wait_until(
        [&] { return viewer.next(&message, 500) && take_state(message, &states, &last) && last.at("records") == 1; },
        kWait))
        << message;
    EXPECT_EQ(last.at("replay").at("position_ms"), 0);
    EXPECT_EQ(states.at(1), live.at(1));
    EXPECT_FALSE(last.at("replay").at("playing").as_bool());
    EXPECT_NE(position, 0);
    std::system(("rm -rf " + directory).c_str());
}

// The log's kill feed and round panel recorded with the match: replayed, every point shows what the
// live view showed there, the events API answers as it did live (the same events, the same seq
// numbers), and a seek back rebuilds the events up to that point. A password the log carried
// reaches no byte of the recording.
TEST(Replay, TheRecordedLogReplaysWithTheSameEventsAndASeekRebuildsThem) {
    const std::string directory = fresh_directory();
    const std::string secret = "hunter2-rcon-77";
    const int log_port = testing_support::free_port();
    std::map<Point, std::string> live;
    json::array live_events;
    {
        SimServer sim("cstrike", 10, 0,
                      {"--speed", "8", "--exec", "logaddress_add 127.0.0.1 " + std::to_string(log_port)});
        Gateway gateway({"--server", "sim=" + sim.address(), "--record", directory, "--log-listen",
                         "127.0.0.1:" + std::to_string(log_port)});
        ASSERT_GT(gateway.port(), 0) << gateway.process().err();
        Viewer viewer(gateway.port());
        ASSERT_TRUE(viewer.open());
        viewer.watch("sim");
        json::object last;
        std::string message;
        bool secrets_sent = false;
        while (viewer.next(&message, kWait)) {
            if (!take_logged_state(message, &live, &last))
                continue;
            if (!secrets_sent && last_seq(last) > 5) {
                // As a server logs a command sent to its console, and a password cvar set.
                testing_support::send_datagram(
                    log_port, log_datagram("Rcon: \"rcon 1234 \"" + secret + "\" status\" from \"127.0.0.1:5555\""));
                testing_support::send_datagram(log_port,
                                               log_datagram("Server cvar \"rcon_password\" \"" + secret + "\""));
                secrets_sent = true;
            }
            if (last_seq(last) >= 60 && !last.at("log").at("results").as_array().empty())
                break;
        }
        ASSERT_GE(last_seq(last), 60u) << "not enough of the log came";
        live_events = api(gateway.port(), "/api/servers/sim/events?since=0").at("events").as_array();
        EXPECT_EQ(gateway.process().stop(SIGTERM), 0);  // files closed and synced
    }
    const std::string recorded_bytes = all_bytes(directory);
    EXPECT_EQ(recorded_bytes.find(secret), std::string::npos) << "a password in the recording";
    EXPECT_NE(recorded_bytes.find("Rcon: \"status\""), std::string::npos) << "the rcon line was not recorded";
    const std::vector<std::string> files = web::Recorder(directory, 1).files();
    ASSERT_GE(files.size(), 1u);  // a second file if the map changed meanwhile
    recording::Recording recorded;
    std::string error;
    ASSERT_TRUE(recording::read_recording(files[0], &recorded, &error)) << error;
    EXPECT_EQ(recorded.version, 2);
    const std::string name = replay_name(directory, files[0]);

    Gateway replaying({"--replay", files[0]});
    ASSERT_GT(replaying.port(), 0) << replaying.process().err();
    Viewer viewer(replaying.port());
    ASSERT_TRUE(viewer.open());
    viewer.watch(name);
    viewer.send_text("{\"replay\":\"" + name + "\",\"speed\":16,\"seek\":0}");
    std::map<Point, std::string> replayed;
    json::object last;
    std::string message;
    while (viewer.next(&message, kWait))
        if (take_logged_state(message, &replayed, &last) && !last.at("replay").at("playing").as_bool() &&
            last.at("replay").at("position_ms") == last.at("replay").at("length_ms"))
            break;
    size_t compared = 0;
    for (const auto &point : replayed) {
        const auto seen_live = live.find(point.first);
        if (seen_live == live.end() || point.first.second == 0)
            continue;
        EXPECT_EQ(point.second, seen_live->second)
            << "after " << point.first.first << " records and event " << point.first.second;
        ++compared;
    }
    EXPECT_GE(compared, 8u);

    const json::array replayed_events =
        api(replaying.port(), "/api/servers/" + name + "/events").at("events").as_array();
    EXPECT_TRUE(one_starts_the_other(replayed_events, live_events))
        << json::serialize(replayed_events) << "\nlive: " << json::serialize(live_events);
    EXPECT_GE(std::min(replayed_events.size(), live_events.size()), 60u);

    // Back to the middle: the events up to there, numbered as before.
    const uint32_t middle = static_cast<uint32_t>(last.at("replay").at("length_ms").to_number<double>() / 2);
    viewer.send_text("{\"replay\":\"" + name + "\",\"seek\":" + std::to_string(middle) + "}");
    ASSERT_TRUE(testing_support::wait_until(
        [&] {
            return viewer.next(&message, 500) && take_logged_state(message, &replayed, &last) &&
                   last.at("replay").at("position_ms") == middle;
        },
        kWait));
    const uint64_t sought = last_seq(last);
    EXPECT_GT(sought, 0u);
    ASSERT_LT(sought, replayed_events.size());
    const json::array rebuilt = api(replaying.port(), "/api/servers/" + name + "/events").at("events").as_array();
    ASSERT_EQ(rebuilt.size(), sought);
    EXPECT_TRUE(one_starts_the_other(rebuilt, replayed_events)) << json::serialize(rebuilt);
    const auto seen_live = live.find({last.at("records").as_int64(), sought});
    if (seen_live != live.end()) {
        std::map<Point, std::string> just_this;
        take_logged_state(message, &just_this, &last);
        EXPECT_EQ(just_this.begin()->second, seen_live->second);
    }
    std::system(("rm -rf " + directory).c_str());
}

// A file written before log lines were recorded: version 1, records only; it replays as before.
TEST(Replay, AFileOfTheFirstVersionStillReplays) {
    const std::string directory = fresh_directory();
    const std::string path = directory + "/old.orlexrec";
    {
        recording::Writer writer;
        recording::Header header;
        header.server = "old";
        header.address = "127.0.0.1:27015";
        header.map = "de_v1";
        header.writer = "orlex_web";
        header.start_ms = 1700000000000;
        std::string error;
        const auto start = recording::Writer::Clock::now();
        ASSERT_TRUE(writer.create(path, header, start, &error)) << error;
        ASSERT_TRUE(writer.append("TYPE\tSERVER\nMAP_NAME\tde_v1\nHOST_NAME\tthe old one\n\n", start, &error));
        ASSERT_TRUE(writer.append("TYPE\tSAY\nUSER_ID\t7\nCHAT\tstill here\n\n", start + std::chrono::milliseconds(20),
                                  &error));
    }
    // The version and the header's checksum as the first version wrote them.
    std::string bytes = slurp(path);
    bytes[8] = 1;
    const size_t header_end =
        recording::kFixedHeaderSize + recording::get_u16(reinterpret_cast<const unsigned char *>(&bytes[10]));
    std::string checksum;
    recording::put_u32(checksum, recording::checksum(bytes.data(), header_end));
    bytes.replace(header_end, recording::kChecksumSize, checksum);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

    Gateway replaying({"--replay", path});
    ASSERT_GT(replaying.port(), 0) << replaying.process().err();
    json::object detail;
    EXPECT_TRUE(testing_support::wait_until(
        [&] {
            detail = api(replaying.port(), "/api/servers/old");
            return detail.contains("records") && detail.at("records") == 2;
        },
        kWait))
        << json::serialize(detail);
    EXPECT_EQ(detail.at("server").at("map"), "de_v1");
    EXPECT_EQ(detail.at("chat").as_array().size(), 1u);
    EXPECT_EQ(json::serialize(api(replaying.port(), "/api/servers/old/events")), "{\"events\":[]}");
    std::system(("rm -rf " + directory).c_str());
}
