#include "reports/server_report.h"

#include <cstdio>
#include <string>

#include "events/message_hooks.h"
#include "state/teams.h"
#include "unit/game_fixture.h"

namespace {

class ServerReportUnitTest : public GameFixture {
protected:
    ServerReportUnitTest() : GameFixture("valve") {}
    records::Record build() { return GameFixture::build(Get_Server_Data); }
    void name_team(int team, const std::string &name, int score) {
        snprintf(det_team_names[team], TEAM_NAME_SIZE, "%s", name.c_str());
        team_scores[team] = score;
    }
};

}  // namespace

TEST_F(ServerReportUnitTest, TimeLeftIsWholeMinutesOfTheLimitLessTheClock) {
    engine.set_time(300.0);
    engine.cvars().set("mp_timelimit", "20");
    EXPECT_EQ(build().value("TIMELEFT"), "900.000000");
    engine.cvars().set("mp_timelimit", "0");
    EXPECT_EQ(build().value("TIMELEFT"), "-300.000000");
    engine.cvars().set("mp_timelimit", "2.5");
    EXPECT_EQ(build().value("TIMELEFT"), "-180.000000");
    engine.cvars().set("mp_timelimit", "");
    EXPECT_EQ(build().value("TIMELEFT"), "-300.000000");
    engine.cvars().set("mp_timelimit", "99999999999999999999999");  // no overflow, just a big number
    EXPECT_EQ(build().value("TIMELEFT").find('-'), std::string::npos);
}

TEST_F(ServerReportUnitTest, TeamLinesCarryNamedTeamsInOrderWithoutTrailingTab) {
    name_team(0, "Blue", 3);
    name_team(1, "Red", 5);
    build();
    EXPECT_NE(last_text.find("\nTEAM_NAMES\tBlue\tRed\nTEAM_SCORES\t3\t5\n\n"), std::string::npos) << last_text;

    name_team(1, "", 0);
    name_team(3, "Green", -2);
    build();
    EXPECT_NE(last_text.find("\nTEAM_NAMES\tBlue\tGreen\nTEAM_SCORES\t3\t-2\n\n"), std::string::npos) << last_text;
}

TEST_F(ServerReportUnitTest, NoTeamsGivesBareKeys) {
    build();
    EXPECT_EQ(last_text.substr(last_text.size() - 25), "\nTEAM_NAMES\nTEAM_SCORES\n\n");
}

TEST_F(ServerReportUnitTest, TeamsThatDoNotFitTheLineAreLeftOutOfBothLines) {
    for (int team = 0; team < TEAM_SLOTS; ++team)
        name_team(team, std::string(255, static_cast<char>('A' + team)), team);
    const records::Record record = build();
    ASSERT_EQ(record.fields("TEAM_NAMES")->size(), 1u);
    EXPECT_EQ(record.fields("TEAM_NAMES")->at(0), std::string(255, 'A'));
    EXPECT_EQ(*record.fields("TEAM_SCORES"), std::vector<std::string>{"0"});
}

TEST_F(ServerReportUnitTest, EmptyVariablesGiveEmptyValues) {
    engine.cvars().set("hostname", "");
    const records::Record record = build();
    EXPECT_EQ(record.value("HOST_NAME"), "");
    EXPECT_EQ(record.value("SV_PASSWORD"), "");
    EXPECT_EQ(record.lines.size(), 14u);
}
