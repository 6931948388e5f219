// What a client sees of a "cstrike" server as the current game code plays it: the planted bomb is a
// grenade, a dropped bomb lies in a thrown weapon box, players have no class, death messages carry
// more fields, restarts send scores of 0, and the game's own bots join without the connect hook.
#include "e2e/live_server.h"
#include "simhost/geometry.h"

using e2e::LiveServerTest;

namespace {

using Values = std::vector<std::string>;

class CstrikeGame : public LiveServerTest {
protected:
    CstrikeGame() {
        options.engine.game_dir = "cstrike";
        options.settings.push_back({"orlex_timer_refresh", "1"});  // reports follow the game closely
    }
    // The report a request answers, once the game's latest changes have been built into it.
    records::Record latest(e2e::AdminClient &client, const std::string &request, const std::string &kind) {
        run(1.5);
        client.receive(10);
        client.send(request + "\n");
        run(2.1);
        records::Record found;
        for (const records::Record &record : client.receive())
            if (record.type == kind)
                found = record;
        EXPECT_EQ(found.type, kind) << request;
        return found;
    }
    edict_t *place(const char *classname, simhost::Point at, const char *model = nullptr) {
        edict_t *entity = server->engine().world().create_entity(classname);
        simhost::set_origin(entity, at);
        if (model)
            entity->v.model = server->engine().strings().intern(model);
        return entity;
    }
};

}  // namespace

// The map's box runs from -1000 to 3000 in x: x is reported 1000 less.
TEST_F(CstrikeGame, BombRowsForTheCarriedThePackedAndThePlantedBomb) {
    start_listening();
    auto client = connect_client();
    edict_t *carrier = join("Ace");
    simhost::set_origin(carrier, {100, 100, 0});
    place("weapon_c4", {100, 100, 0})->v.owner = carrier;
    edict_t *packed = place("weapon_c4", {500, 0, 0});
    packed->v.owner = place("weaponbox", {615, 20, -30}, "models/w_backpack.mdl");
    place("grenade", {40, 40, 40}, "models/w_flashbang.mdl");
    place("grenade", {2000, -300, 16}, "models/w_c4.mdl");

    const records::Record bomb = latest(*client, "GET_BOMB", "BOMB");
    EXPECT_EQ(*bomb.fields("BOMB_NUM"), (Values{"0", "1", "2"}));
    EXPECT_EQ(*bomb.fields("X_COORD"), (Values{"-900.000000", "-385.000000", "1000.000000"}));
    EXPECT_EQ(*bomb.fields("Y_COORD"), (Values{"100.000000", "20.000000", "-300.000000"}));
    EXPECT_EQ(*bomb.fields("Z_COORD"), (Values{"0.000000", "-30.000000", "16.000000"}));
    EXPECT_EQ(*bomb.fields("PLANTED"), (Values{"0", "0", "1"}));
    EXPECT_EQ(client->malformed(), 0u);
}

// Killers 1 and 2 never die; with the game's extra fields, and with the setting that removes them.
TEST_F(CstrikeGame, DeathsCountTheVictimsWhateverTheGameAppends) {
    start_listening();
    auto client = connect_client();
    for (const char *name : {"Ace", "Blaze", "Cobra", "Dingo"})
        join(name);
    server->death_message(1, 3, "ak47", true);
    server->death_message(2, 4, "awp");
    server->death_message(1, 4, "deagle", true);
    server->engine().cvars().set("mp_deathmsg_flags", "0");
    server->death_message(2, 3, "m4a1");
    server->death_message(3, 3, "world");
    EXPECT_EQ(*latest(*client, "GET_PLAYER", "PLAYER").fields("DEATHS"), (Values{"0", "0", "3", "2"}));
}

// A restart sends every team 0: the board shows 0, and 0 is never announced.
TEST_F(CstrikeGame, RestartScoresOfZeroReplaceTheOldScores) {
    start_listening();
    auto client = connect_client();
    testing::internal::CaptureStdout();  // the announcement is printed too
    server->team_score_message("TERRORIST", 3);
    server->team_score_message("CT", 5);
    run(2.5);  // the server report is rebuilt every two seconds
    EXPECT_EQ(*request_server_record(*client).fields("TEAM_SCORES"), (Values{"3", "5"}));
    run(61.0);
    server->team_score_message("TERRORIST", 0);
    server->team_score_message("CT", 0);
    run(2.5);
    const Values scores = *request_server_record(*client).fields("TEAM_SCORES");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "say Score: TERRORIST 3 \n");
    EXPECT_EQ(scores, (Values{"0", "0"}));
}

// Players have class 0: armour is out of 100. The game's own bot is timed from when the plug-in
// first finds it, with no deaths carried over from the slot; so is the next bot in that slot.
TEST_F(CstrikeGame, ClasslessArmourAndTheGamesOwnBots) {
    start_listening();
    auto client = connect_client();
    edict_t *person = join("Ace");
    person->v.armorvalue = 100;
    simhost::PlayerSpec bot;
    bot.name = "Blaze";
    bot.bot = true;
    run(30.0);
    edict_t *own_bot = server->connect_game_bot(bot);
    ASSERT_NE(own_bot, nullptr);
    own_bot->v.armorvalue = 35;
    server->death_message(1, 2, "knife");
    run(1.0);  // found by the next player report

    records::Record players = latest(*client, "GET_PLAYER", "PLAYER");
    EXPECT_EQ(*players.fields("ARMOR"), (Values{"1.000000", "0.350000"}));
    EXPECT_EQ(*players.fields("IP"), (Values{"10.0.0.2:27005", "127.0.0.1"}));
    const double person_time = std::stod(players.fields("TIMES")->at(0));
    const double bot_time = std::stod(players.fields("TIMES")->at(1));
    EXPECT_GT(person_time, 30.0);
    EXPECT_LT(bot_time, 6.0);
    EXPECT_EQ(players.fields("DEATHS")->at(1), "0");

    server->death_message(1, 2, "knife");
    server->engine().world().renew_user_id(own_bot);  // dropped and added again by the game
    players = latest(*client, "GET_PLAYER", "PLAYER");
    EXPECT_EQ(players.fields("DEATHS")->at(1), "0");
    EXPECT_LT(std::stod(players.fields("TIMES")->at(1)), 4.0);
}
