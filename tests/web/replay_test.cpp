// Replays end to end: a live simulated match recorded by the gateway, then served from the file
// at 16x: the state at each record equals the state the gateway held live; pause and seek.
#include <gtest/gtest.h>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <csignal>
#include <cstdlib>
#include <map>

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
    const std::string name = files[0].substr(directory.size() + 1, files[0].rfind(".orlexrec") - directory.size() - 1);

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
