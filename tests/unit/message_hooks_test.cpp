#include "events/message_hooks.h"

#include "state/game.h"
#include "state/players.h"
#include "state/teams.h"

#include "unit/game_fixture.h"

namespace {

class MessageHooksTest : public GameFixture {
protected:
    explicit MessageHooksTest(const std::string &game) : GameFixture(game) {
        death = engine.register_user_message("DeathMsg", -1);
        team_score = engine.register_user_message("TeamScore", -1);
        engine.set_time(100.0);
    }
    void death_message(int victim, int destination = MSG_ALL) {
        pfnMessageBegin(destination, death, nullptr, nullptr);
        pfnWriteByte(1);
        pfnWriteByte(victim);
        if (std::string(game_dir) == "cstrike")
            pfnWriteByte(0);
        pfnWriteString("knife");
        pfnMessageEnd();
    }
    void named_score(const char *team, int score) {
        pfnMessageBegin(MSG_ALL, team_score, nullptr, nullptr);
        pfnWriteString(team);
        pfnWriteShort(score);
        pfnMessageEnd();
    }
    std::vector<std::string> commands() { return engine.server_commands(); }

    int death = 0;
    int team_score = 0;
};

struct Cstrike : MessageHooksTest {
    Cstrike() : MessageHooksTest("cstrike") {}
};
struct Tfc : MessageHooksTest {
    Tfc() : MessageHooksTest("tfc") {}
};
struct Dod : MessageHooksTest {
    Dod() : MessageHooksTest("dod") {}
};

}  // namespace

TEST_F(Cstrike, DeathCountedAtTheThirdOfFourFields) {
    pfnMessageBegin(MSG_ALL, death, nullptr, nullptr);
    pfnWriteByte(1);
    pfnWriteByte(3);
    EXPECT_EQ(player_deaths[3], 0);
    pfnWriteByte(1);
    EXPECT_EQ(player_deaths[3], 1);
    pfnWriteString("ak47");
    pfnMessageEnd();
    death_message(3);
    EXPECT_EQ(player_deaths[3], 2);
}

// What the current game sends by default: killer, victim, headshot, weapon, then a flags long, the
// victim's position, an assistant and a kill-rarity long. Killers 7 and 9 never die.
TEST_F(Cstrike, FieldsAfterTheVictimNeverShiftTheNextMessage) {
    for (int victim : {3, 4, 3}) {
        pfnMessageBegin(MSG_ALL, death, nullptr, nullptr);
        pfnWriteByte(victim == 4 ? 9 : 7);
        pfnWriteByte(victim);
        pfnWriteByte(1);
        pfnWriteString("deagle");
        pfnWriteLong(7);
        for (float coordinate : {7.0f, 9.0f, -40.0f})
            pfnWriteCoord(coordinate);
        pfnWriteByte(9);
        pfnWriteLong(3);
        pfnMessageEnd();
    }
    EXPECT_EQ(player_deaths[3], 2);
    EXPECT_EQ(player_deaths[4], 1);
    EXPECT_EQ(player_deaths[7] + player_deaths[9], 0);

    // A message cut short (no end seen) does not carry into the next either.
    pfnMessageBegin(MSG_ALL, death, nullptr, nullptr);
    pfnWriteByte(7);
    death_message(5);
    EXPECT_EQ(player_deaths[5], 1);
    EXPECT_EQ(player_deaths[7], 0);
}

TEST_F(Tfc, DeathCountedAtTheLastOfThreeFields) {
    death_message(5);
    death_message(5);
    death_message(6);
    EXPECT_EQ(player_deaths[5], 2);
    EXPECT_EQ(player_deaths[6], 1);
}

TEST_F(Tfc, MessagesToOneClientAreNotWatched) {
    death_message(5, MSG_ONE);
    EXPECT_EQ(player_deaths[5], 0);
}

TEST_F(Tfc, VictimOutsideThePlayerSlotsIsNobody) {
    death_message(0);
    death_message(33);
    death_message(255);
    death_message(-1);
    int total = 0;
    for (int count : player_deaths)
        total += count;
    EXPECT_EQ(total, 0);
}

TEST_F(Tfc, TextWhereTheVictimShouldBeIsNobody) {
    pfnMessageBegin(MSG_ALL, death, nullptr, nullptr);
    pfnWriteByte(1);
    pfnWriteString("");
    pfnWriteString("x");
    pfnMessageEnd();
    death_message(2);
    EXPECT_EQ(player_deaths[2], 1);
}

TEST_F(Tfc, NothingIsWatchedWithoutDeathmatch) {
    engine.globals()->deathmatch = 0;
    death_message(5);
    named_score("Blue", 3);
    EXPECT_EQ(player_deaths[5], 0);
    EXPECT_STREQ(det_team_names[0], "");
}

TEST_F(Cstrike, TeamsBySlotInOrderOfAppearanceAndOneAnnouncement) {
    testing::internal::CaptureStdout();
    named_score("TERRORIST", 3);
    named_score("CT", 5);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_STREQ(det_team_names[0], "TERRORIST");
    EXPECT_EQ(team_scores[0], 3);
    EXPECT_STREQ(det_team_names[1], "CT");
    EXPECT_EQ(team_scores[1], 5);
    EXPECT_EQ(commands(), std::vector<std::string>{"say Score: TERRORIST 3 \n"});
    EXPECT_EQ(printed, "say Score: TERRORIST 3 \n");

    engine.set_time(161.0);
    named_score("CT", 6);
    EXPECT_EQ(commands().back(), "say Score: TERRORIST 3 CT 6 \n");
}

// A restart sends every team 0: the old score must not stay on the board.
TEST_F(Cstrike, ZeroScoreIsStoredButNeverAnnounced) {
    named_score("CT", 4);
    engine.set_time(200.0);
    named_score("CT", 0);
    EXPECT_STREQ(det_team_names[0], "CT");
    EXPECT_EQ(team_scores[0], 0);
    EXPECT_EQ(commands(), std::vector<std::string>{"say Score: CT 4 \n"});
}

TEST_F(Tfc, FifthTeamIsIgnoredAndTheFirstShortIsTheScore) {
    for (const char *team : {"Blue", "Red", "Yellow", "Green"})
        named_score(team, 1);
    named_score("Purple", 9);
    for (int slot = 0; slot < TEAM_SLOTS; ++slot)
        EXPECT_EQ(team_scores[slot], 1) << slot;

    pfnMessageBegin(MSG_ALL, team_score, nullptr, nullptr);
    pfnWriteString("Red");
    pfnWriteShort(4);
    pfnWriteShort(7);  // the team's deaths, written after its score
    pfnMessageEnd();
    EXPECT_EQ(team_scores[1], 4);
}

TEST_F(Tfc, AnnouncementCannotCarryAnotherConsoleCommand) {
    named_score("Blue;quit\n\"", 2);
    EXPECT_EQ(commands(), std::vector<std::string>{"say Score: Blue quit   2 \n"});
}

TEST_F(Tfc, AnnouncementLeavesOutTeamsThatDoNotFit) {
    named_score(std::string(120, 'a').c_str(), 1);
    named_score(std::string(100, 'b').c_str(), 1);
    named_score(std::string(100, 'c').c_str(), 1);
    engine.set_time(1000.0);
    named_score(std::string(120, 'a').c_str(), 2);
    const std::string line = commands().back();
    EXPECT_EQ(line, "say Score: " + std::string(120, 'a') + " 2 " + std::string(100, 'b') + " 1 \n");
    EXPECT_LE(line.size(), 255u);
}

TEST_F(Dod, TeamByNumberWithFixedNames) {
    pfnMessageBegin(MSG_ALL, team_score, nullptr, nullptr);
    pfnWriteByte(2);
    pfnWriteShort(4);
    pfnMessageEnd();
    EXPECT_STREQ(det_team_names[0], "");
    EXPECT_STREQ(det_team_names[1], "Axis");
    EXPECT_EQ(team_scores[1], 4);
    EXPECT_EQ(commands(), std::vector<std::string>{"say Score: Axis 4 \n"});

    pfnMessageBegin(MSG_ALL, team_score, nullptr, nullptr);
    pfnWriteByte(3);  // no such team: the score goes nowhere
    pfnWriteShort(8);
    pfnMessageEnd();
    EXPECT_EQ(team_scores[0] + team_scores[1], 4);
}

TEST_F(Dod, NamesAreNotTakenFromTextInDod) {
    named_score("Allies", 3);
    EXPECT_STREQ(det_team_names[0], "");
}
