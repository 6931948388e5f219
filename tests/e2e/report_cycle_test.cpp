// The six-frame send cycle, requests by game, and what the game's messages do to the reports.
#include <ostream>

#include "e2e/live_server.h"

using e2e::LiveServerTest;

namespace {

class ReportCycleTest : public LiveServerTest {
protected:
    explicit ReportCycleTest(const std::string &game) {
        options.engine.game_dir = game;
        // Cycles only at map starts, so a test can watch one from its first frame.
        options.settings.push_back({"orlex_timer_refresh", "1000"});
    }
    // Kinds received after each of the next frames.
    std::vector<std::vector<std::string>> watch_frames(e2e::AdminClient &client, int frames) {
        std::vector<std::vector<std::string>> seen;
        for (int frame = 0; frame < frames; ++frame) {
            server->run_frame();
            std::vector<std::string> kinds;
            for (const records::Record &record : client.receive(80))
                kinds.push_back(record.type);
            seen.push_back(kinds);
        }
        return seen;
    }
    std::vector<std::string> ask(e2e::AdminClient &client, const std::string &line) {
        client.send(line + "\n");
        run(2.1);
        std::vector<std::string> kinds;
        for (const records::Record &record : client.receive())
            kinds.push_back(record.type);
        return kinds;
    }
};

struct DodCycle : ReportCycleTest {
    DodCycle() : ReportCycleTest("dod") {}
};
struct CstrikeCycle : ReportCycleTest {
    CstrikeCycle() : ReportCycleTest("cstrike") {}
};

using Frames = std::vector<std::vector<std::string>>;
using Kinds = std::vector<std::string>;

}  // namespace

TEST_F(DodCycle, SendsServerThenControlPointsThenPlayersOnFramesOneTwoAndSix) {
    start_listening();
    auto client = connect_client();
    client->receive();
    server->change_map(options.map);
    EXPECT_EQ(watch_frames(*client, 7), (Frames{{"SERVER"}, {"FLAG"}, {}, {}, {}, {"PLAYER"}, {}}));
}

TEST_F(CstrikeCycle, ClientJoiningMidCycleGetsOnlyTheRest) {
    options.settings.push_back({"orlex_timer_conncheck", "0"});  // accept on every frame
    start_listening();
    auto early = connect_client();
    early->receive();
    server->change_map(options.map);
    EXPECT_EQ(watch_frames(*early, 3), (Frames{{"SERVER"}, {"BOMB"}, {"HOSTAGE"}}));
    e2e::AdminClient late(port);
    EXPECT_EQ(watch_frames(late, 4), (Frames{{}, {}, {"PLAYER"}, {}}));
}

TEST_F(CstrikeCycle, DeathsAndScoresReachTheReportsAndClearAtMapStart) {
    options.settings.push_back({"orlex_timer_refresh", "1"});  // the player report follows the game
    start_listening();
    auto client = connect_client();
    join("Alice");
    join("Bob");
    server->death_message(1, 2, "ak47", true);
    server->death_message(2, 2, "world");
    testing::internal::CaptureStdout();
    server->team_score_message("TERRORIST", 3);
    server->team_score_message("CT", 5);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "say Score: TERRORIST 3 \n");
    EXPECT_EQ(server->engine().server_commands().back(), "say Score: TERRORIST 3 \n");

    run(2.5);
    const records::Record status = request_server_record(*client);
    EXPECT_EQ(*status.fields("TEAM_NAMES"), (Kinds{"TERRORIST", "CT"}));
    EXPECT_EQ(*status.fields("TEAM_SCORES"), (Kinds{"3", "5"}));
    client->send("GET_PLAYER\n");
    run(2.1);
    records::Record players;
    for (const records::Record &record : client->receive())
        if (record.type == "PLAYER")
            players = record;
    EXPECT_EQ(*players.fields("DEATHS"), (Kinds{"0", "2"}));

    server->change_map(options.map);
    run(2.5);
    EXPECT_TRUE(request_server_record(*client).fields("TEAM_NAMES")->empty());
}

namespace {

struct GameRequests {
    const char *game;
    std::vector<std::pair<std::string, std::string>> answered;  // request, record kind
    std::vector<std::string> ignored;
};

// The game names the case: stable from build to build, unlike the bytes gtest would print.
void PrintTo(const GameRequests &requests, std::ostream *out) { *out << requests.game; }

class RequestsByGame : public ReportCycleTest, public ::testing::WithParamInterface<GameRequests> {
protected:
    RequestsByGame() : ReportCycleTest(GetParam().game) {}
};

}  // namespace

TEST_P(RequestsByGame, AnswersItsGamesRequestsAndIgnoresTheOthers) {
    start_listening();
    auto client = connect_client();
    for (const auto &request : GetParam().answered)
        EXPECT_EQ(ask(*client, request.first), Kinds{request.second}) << request.first;
    for (const std::string &request : GetParam().ignored)
        EXPECT_EQ(ask(*client, request), Kinds{}) << request;
    EXPECT_EQ(client->malformed(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Games, RequestsByGame,
    ::testing::Values(
        GameRequests{"tfc",
                     {{"GET_FLAG", "FLAG"},
                      {"GET_SENTRY", "SENTRY"},
                      {"GET_TELEPORTER", "TELEPORTER"},
                      {"GET_DISPENSER", "DISPENSER"},
                      {"GET_PLAYER", "PLAYER"}},
                     {"GET_HIVE", "GET_BOMB"}},
        GameRequests{"dod", {{"GET_FLAG", "FLAG"}, {"GET_SERVER", "SERVER"}}, {"GET_SENTRY", "GET_HOSTAGE"}},
        GameRequests{"nsp",
                     {{"GET_HIVE", "HIVE"}, {"GET_RESOURCE", "RESOURCE"}, {"GET_COMMAND", "COMMAND"}},
                     {"GET_FLAG", "GET_DISPENSER"}},
        GameRequests{"cstrike", {{"GET_BOMB", "BOMB"}, {"GET_HOSTAGE", "HOSTAGE"}}, {"GET_FLAG", "GET_COMMAND"}},
        GameRequests{"valve", {{"GET_PLAYER", "PLAYER"}}, {"GET_FLAG", "GET_BOMB", "GET_HIVE"}}),
    [](const ::testing::TestParamInfo<GameRequests> &info) { return std::string(info.param.game); });
