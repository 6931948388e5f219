// The match's rules without the plug-in: who the bots are, that a seed replays a match, and what
// must hold of every player on every frame while they fight, die and come back.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "match/offline_match.h"
#include "simhost/info_buffer.h"
#include "simhost/map_catalog.h"

using match_testing::match_options;
using match_testing::OfflineMatch;

namespace {

// "STEAM_0:", the universe bit, ":", the account number.
bool person_auth_id(const std::string &id) {
    const std::string head = "STEAM_0:";
    if (id.size() < head.size() + 3 || id.compare(0, head.size(), head) != 0)
        return false;
    const std::string rest = id.substr(head.size());
    return (rest[0] == '0' || rest[0] == '1') && rest[1] == ':' &&
           rest.find_first_not_of("0123456789", 2) == std::string::npos;
}

// Everything a client could see of the match after a while: players, then objective entities.
std::string play_and_describe(const std::string &game, std::uint64_t seed) {
    OfflineMatch live(game, match_options(seed));
    live.play(90.0);
    std::ostringstream out;
    for (const simhost::Bot &bot : live.match.bots()) {
        const entvars_t &vars = bot.edict->v;
        out << vars.origin[0] << ',' << vars.origin[1] << ' ' << vars.frags << ' ' << bot.deaths << ' ' << vars.health
            << ' ' << live.text(vars.weaponmodel) << ' ' << live.info(bot).auth_id << '\n';
    }
    for (const char *classname : {"weapon_c4", "hostage_entity"})
        for (edict_t *entity : live.entities(classname))
            out << classname << ' ' << live.text(entity->v.model) << ' ' << entity->v.origin[0] << '\n';
    return out.str();
}

}  // namespace

TEST(MatchRules, SameSeedReplaysTheMatchAndAnotherSeedDoesNot) {
    const std::string first = play_and_describe("cstrike", 7);
    EXPECT_EQ(play_and_describe("cstrike", 7), first);
    EXPECT_NE(play_and_describe("cstrike", 8), first);
}

TEST(MatchRules, BotsAreFakeClientsAndPeopleOnBothSidesWithTheirTeamsModels) {
    OfflineMatch live("cstrike");
    const std::set<std::string> terrorist_models = {"terror", "leet", "arctic", "guerilla"};
    const std::set<std::string> counter_models = {"urban", "gsg9", "sas", "gign"};
    std::map<int, int> fake_by_side, people_by_side;
    std::set<std::string> names;
    ASSERT_EQ(live.match.bots().size(), 12u);
    for (const simhost::Bot &bot : live.match.bots()) {
        const simhost::PlayerInfo &info = live.info(bot);
        const bool fake = bot.edict->v.flags & FL_FAKECLIENT;
        ++(fake ? fake_by_side : people_by_side)[bot.side];
        names.insert(info.name);
        if (fake)
            EXPECT_EQ(info.auth_id, "BOT");
        else
            EXPECT_TRUE(person_auth_id(info.auth_id)) << info.auth_id;
        const std::string model = simhost::info_value(info.info_buffer, "model");
        EXPECT_TRUE((bot.side == 0 ? terrorist_models : counter_models).count(model)) << model;
    }
    EXPECT_EQ(names.size(), 12u);
    EXPECT_EQ(fake_by_side, (std::map<int, int>{{0, 3}, {1, 3}}));
    EXPECT_EQ(people_by_side, (std::map<int, int>{{0, 3}, {1, 3}}));
}

TEST(MatchRules, BotsAreHeldToThePlayerSlots) {
    OfflineMatch live("valve", match_options(1, 0.0, 32), 8);
    EXPECT_EQ(live.match.bots().size(), 8u);
    EXPECT_EQ(live.server.players().size(), 8u);
}

TEST(MatchRules, TfcPlayersHaveAClassAndNoMoreArmourThanItAllows) {
    const float max_armor[10] = {0, 50, 50, 200, 120, 100, 300, 150, 100, 50};
    OfflineMatch live("tfc");
    live.play(30.0, [&] {
        for (const simhost::Bot &bot : live.match.bots()) {
            const entvars_t &vars = bot.edict->v;
            ASSERT_GE(vars.playerclass, 1);
            ASSERT_LE(vars.playerclass, 9);
            ASSERT_LE(vars.armorvalue, max_armor[vars.playerclass]);
            ASSERT_EQ(vars.team, bot.side + 1);
        }
    });
}

namespace {

struct Said {
    bool fake;
    std::string command;
};
std::vector<Said> said;

void note_chat(edict_t *player) {
    const enginefuncs_t &engine = *simhost::Engine::active()->functions();
    said.push_back({(player->v.flags & FL_FAKECLIENT) != 0, engine.pfnCmd_Argv(0)});
}

std::set<std::string> chat_commands(const char *game) {
    said.clear();
    OfflineMatch live(game);
    live.server.host().gamedll_functions()->dllapi_table->pfnClientCommand = note_chat;
    live.play(200.0);
    std::set<std::string> commands;
    for (const Said &line : said) {
        EXPECT_FALSE(line.fake) << game;
        commands.insert(line.command);
    }
    return commands;
}

}  // namespace

// The plug-in relays no chat of fake clients, so only those who look like people chat.
TEST(MatchRules, PeopleChatToAllAndToTheirTeamFakeClientsNever) {
    EXPECT_EQ(chat_commands("dod"), (std::set<std::string>{"say", "say_team"}));
    EXPECT_EQ(chat_commands("valve"), (std::set<std::string>{"say"}));  // no teams to talk to
}

namespace {

class EveryFrame : public ::testing::TestWithParam<const char *> {};

// What one frame says of a bot, to compare with the next.
struct Seen {
    bool alive = true;
    float yaw = 0.0f;
};

}  // namespace

// Over several minutes of one map: every player inside the map, dead exactly when out of health,
// every death counted and followed by a frag, the dead coming back, views turning.
TEST_P(EveryFrame, PlayersStayInsideTheMapAndTheirLivesAddUp) {
    const std::string game = GetParam();
    OfflineMatch live(game);
    const simhost::MapBox box = simhost::map_box(game, live.server.map());
    std::vector<Seen> seen(live.match.bots().size());
    int deaths = 0, comebacks = 0, turns = 0, rounds = 0;
    live.play(240.0, [&] {
        const bool new_round = live.match.rounds_played() != rounds;
        rounds = live.match.rounds_played();
        for (size_t i = 0; i < seen.size(); ++i) {
            const simhost::Bot &bot = live.match.bots()[i];
            const entvars_t &vars = bot.edict->v;
            ASSERT_TRUE(vars.origin[0] >= box.mins[0] && vars.origin[0] <= box.maxs[0]) << vars.origin[0];
            ASSERT_TRUE(vars.origin[1] >= box.mins[1] && vars.origin[1] <= box.maxs[1]) << vars.origin[1];
            const bool alive = vars.deadflag == DEAD_NO;
            ASSERT_TRUE(alive || vars.deadflag == DEAD_DEAD);
            ASSERT_EQ(alive, vars.health > 0.0f) << vars.health;
            ASSERT_LE(vars.health, vars.max_health);
            ASSERT_EQ(live.text(vars.weaponmodel).rfind("models/p_", 0), 0u);
            deaths += seen[i].alive && !alive;
            comebacks += !seen[i].alive && alive;
            // Where the dead wait for the next round, nobody comes back before it.
            if (game == "cstrike" && !seen[i].alive && alive) {
                ASSERT_TRUE(new_round);
            }
            turns += vars.v_angle[1] != seen[i].yaw;
            seen[i] = {alive, vars.v_angle[1]};
        }
    });
    int counted = 0, frags = 0;
    for (const simhost::Bot &bot : live.match.bots()) {
        counted += bot.deaths;
        frags += static_cast<int>(bot.edict->v.frags);
    }
    EXPECT_GT(deaths, 0);
    EXPECT_EQ(counted, deaths);
    EXPECT_EQ(frags, deaths);  // nobody dies by their own hand here
    EXPECT_GT(comebacks, 0);
    EXPECT_GT(turns, 0);
}

INSTANTIATE_TEST_SUITE_P(Games, EveryFrame, ::testing::Values("cstrike", "tfc", "dod", "nsp", "valve"),
                         [](const ::testing::TestParamInfo<const char *> &info) { return std::string(info.param); });
