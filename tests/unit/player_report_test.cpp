#include "plugin/report_schedule.h"

#include "state/map_world.h"
#include "state/players.h"
#include "unit/game_fixture.h"

namespace {

class PlayerReportTest : public GameFixture {
protected:
    explicit PlayerReportTest(const std::string &game = "valve") : GameFixture(game) {}
    records::Record report() { return build(Get_Players_Data); }
};

class CstrikePlayers : public PlayerReportTest {
protected:
    CstrikePlayers() : PlayerReportTest("cstrike") {}
};
class TfcPlayers : public PlayerReportTest {
protected:
    TfcPlayers() : PlayerReportTest("tfc") {}
};
class DodPlayers : public PlayerReportTest {
protected:
    DodPlayers() : PlayerReportTest("dod") {}
};

const char *const kKeys[] = {"NAMES", "TEAM",   "MODEL",       "MODEL_ALT", "KILLS",    "DEATHS",  "HEALTH",
                             "ARMOR", "PINGS",  "PACKET_LOSS", "TIMES",     "STEAM_ID", "USER_ID", "INDEX_NUM",
                             "IP",    "WEAPON", "X_COORD",     "Y_COORD",   "Z_COORD",  "ANGLE",   "DEAD"};

}  // namespace

TEST_F(PlayerReportTest, NoPlayersStillCarriesEveryKey) {
    report();
    std::string expected = "TYPE\tPLAYER\n";
    for (const char *key : kKeys)
        expected += std::string(key) + "\t\n";
    EXPECT_EQ(last_text, expected + "\n");
}

TEST_F(PlayerReportTest, OnePlayerEveryAttribute) {
    x_offset = 1000.0f;
    y_offset = 0.0f;
    engine.set_time(10.0);
    simhost::PlayerSpec joining;
    joining.name = "Bob";
    joining.address = "192.168.1.7:27005";
    joining.model = "gordon";
    joining.team = 2;
    joining.ping = 42;
    joining.loss = 3;
    joining.auth_id = "STEAM_0:1:99";
    edict_t *bob = join(joining);
    bob->v.frags = 3;
    bob->v.health = 50;
    bob->v.max_health = 100;
    bob->v.playerclass = 5;
    bob->v.armorvalue = 25;
    bob->v.origin[0] = 100;
    bob->v.origin[1] = 200;
    bob->v.origin[2] = 50;
    bob->v.v_angle[1] = 90.5f;
    bob->v.weaponmodel = static_cast<int>(text("models/p_crowbar.mdl"));
    bob->v.deadflag = DEAD_DYING;
    player_deaths[1] = 4;
    engine.set_time(25.5);

    const records::Record record = report();
    ASSERT_EQ(record.entities(), 1u);
    EXPECT_EQ(record.value("NAMES"), "Bob");
    EXPECT_EQ(record.value("TEAM"), "1");
    EXPECT_EQ(record.value("MODEL"), "gordon");
    EXPECT_EQ(record.value("MODEL_ALT"), "5");
    EXPECT_EQ(record.value("KILLS"), "3.000000");
    EXPECT_EQ(record.value("DEATHS"), "4");
    EXPECT_EQ(record.value("HEALTH"), "0.500000");
    EXPECT_EQ(record.value("ARMOR"), "0.250000");
    EXPECT_EQ(record.value("PINGS"), "42");
    EXPECT_EQ(record.value("PACKET_LOSS"), "3");
    EXPECT_EQ(record.value("TIMES"), "15.500000");
    EXPECT_EQ(record.value("STEAM_ID"), "STEAM_0:1:99");
    EXPECT_EQ(record.value("USER_ID"), "1");
    EXPECT_EQ(record.value("INDEX_NUM"), "1");
    EXPECT_EQ(record.value("IP"), "192.168.1.7:27005");
    EXPECT_EQ(record.value("WEAPON"), "models/p_crowbar.mdl");
    EXPECT_EQ(record.value("X_COORD"), "-900.000000");
    EXPECT_EQ(record.value("Y_COORD"), "200.000000");
    EXPECT_EQ(record.value("Z_COORD"), "50.000000");
    EXPECT_EQ(record.value("ANGLE"), "90.500000");
    EXPECT_EQ(record.value("DEAD"), "1");
}

TEST_F(PlayerReportTest, BotReportsTheLoopbackAddress) {
    simhost::PlayerSpec joining;
    joining.name = "Bot";
    joining.bot = true;
    joining.address = "10.1.1.1:27005";
    join(joining);
    const records::Record record = report();
    EXPECT_EQ(record.value("STEAM_ID"), "BOT");
    EXPECT_EQ(record.value("IP"), "127.0.0.1");
}

// Health without a maximum is 0; armour of a player without a class (every player of a game
// without classes) is out of the usual 100.
TEST_F(PlayerReportTest, HealthWithoutMaximumIsZeroAndClasslessArmourIsOutOfAHundred) {
    edict_t *bob = join("Bob");
    bob->v.health = 50;
    bob->v.max_health = 0;
    bob->v.armorvalue = 75;
    for (int playerclass : {0, 10, -1}) {
        bob->v.playerclass = playerclass;
        const records::Record record = report();
        EXPECT_EQ(record.value("HEALTH"), "0.000000");
        EXPECT_EQ(record.value("ARMOR"), "0.750000") << playerclass;
    }
}

TEST_F(PlayerReportTest, EmptyNameIsLeftOutAndLastSlotListed) {
    for (int i = 1; i <= 32; ++i)
        join("p" + std::to_string(i));
    engine.world().edict(5)->v.netname = 0;
    const records::Record record = report();
    EXPECT_EQ(record.entities(), 31u);
    EXPECT_EQ(record.fields("INDEX_NUM")->back(), "32");
    for (const auto &line : record.lines)
        EXPECT_EQ(line.second.size(), 31u) << line.first;
}

TEST_F(PlayerReportTest, FullServerOfLongNamesStaysOneWellFormedRecord) {
    for (int i = 1; i <= 32; ++i) {
        simhost::PlayerSpec joining;
        joining.name = std::string(300, static_cast<char>('a' + i % 26));
        joining.address = std::string(200, '9');
        join(joining);
    }
    const records::Record record = report();
    EXPECT_LT(last_text.size(), static_cast<size_t>(REPORT_BUFFER_SIZE));
    EXPECT_GT(record.entities(), 0u);
    EXPECT_LT(record.entities(), 32u);
    EXPECT_EQ(record.fields("NAMES")->front().size(), 255u);
    for (const auto &line : record.lines)
        EXPECT_EQ(line.second.size(), record.entities()) << line.first;
}

TEST_F(CstrikePlayers, TeamFollowsTheModel) {
    for (const char *model : {"gign", "leet", "", "GIGN"}) {
        simhost::PlayerSpec joining;
        joining.name = model[0] ? model : "none";
        joining.model = model;
        join(joining);
    }
    const records::Record record = report();
    EXPECT_EQ(*record.fields("TEAM"), (std::vector<std::string>{"1", "0", "-1", "-1"}));
    EXPECT_EQ(*record.fields("MODEL"), (std::vector<std::string>{"gign", "leet", "", "GIGN"}));
}

TEST_F(TfcPlayers, ArmourOfItsClassAndTeamShiftedByOne) {
    simhost::PlayerSpec joining;
    joining.name = "Soldier";
    joining.team = 2;
    edict_t *soldier = join(joining);
    soldier->v.playerclass = 3;
    soldier->v.armorvalue = 100;
    const records::Record record = report();
    EXPECT_EQ(record.value("ARMOR"), "0.500000");
    EXPECT_EQ(record.value("TEAM"), "1");
}

TEST_F(DodPlayers, ClassIsTheModelAndTheModelNameTheAlternative) {
    simhost::PlayerSpec joining;
    joining.name = "Rifleman";
    joining.model = "us-inf";
    join(joining)->v.playerclass = 4;
    const records::Record record = report();
    EXPECT_EQ(record.value("MODEL"), "4");
    EXPECT_EQ(record.value("MODEL_ALT"), "us-inf");
}

// The game's own bots join without the connect hook: a player is recorded when a report first finds
// it, and again when its slot holds a different connection (another user id).
TEST_F(CstrikePlayers, PlayersTheConnectHookNeverSawCountFromWhenFirstFound) {
    engine.set_time(5.0);
    edict_t *hooked = join("Ace");
    simhost::PlayerSpec game_bot;
    game_bot.name = "Blaze";
    engine.set_time(10.0);
    edict_t *unseen = engine.world().connect_player(game_bot);
    const int slot = engine.world().index_of(unseen);
    player_deaths[slot] = 5;  // whatever the slot last held
    snprintf(client_addr[slot], sizeof(client_addr[slot]), "%s", "198.51.100.9:27005");

    engine.set_time(12.0);
    report();
    engine.set_time(20.0);
    records::Record record = report();
    EXPECT_EQ(*record.fields("TIMES"), (std::vector<std::string>{"15.000000", "8.000000"}));
    EXPECT_EQ(*record.fields("DEATHS"), (std::vector<std::string>{"0", "0"}));
    EXPECT_EQ(*record.fields("IP"), (std::vector<std::string>{"10.0.0.2:27005", ""}));

    // Another connection in the same slot, again without the hook.
    ++player_deaths[slot];
    engine.world().disconnect_player(unseen);
    ASSERT_EQ(engine.world().connect_player(game_bot), unseen);
    engine.set_time(30.0);
    record = report();
    EXPECT_EQ(*record.fields("TIMES"), (std::vector<std::string>{"25.000000", "0.000000"}));
    EXPECT_EQ(*record.fields("DEATHS"), (std::vector<std::string>{"0", "0"}));
    EXPECT_EQ(engine.world().index_of(hooked), 1);
}
