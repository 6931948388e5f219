// Players joining, leaving and typing commands on a server with no plug-in loaded; the simulated
// game's own functions stand in as observers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simhost/game_server.h"

namespace {

simhost::ServerOptions small_server() {
    simhost::ServerOptions options;
    options.engine.max_clients = 2;
    return options;
}

class Players : public ::testing::Test {
protected:
    enginefuncs_t &engine() { return *server.engine().functions(); }
    DLL_FUNCTIONS &game() { return *server.host().gamedll_functions()->dllapi_table; }
    simhost::PlayerSpec named(const std::string &name) {
        simhost::PlayerSpec joining;
        joining.name = name;
        return joining;
    }

    simhost::GameServer server{small_server()};
};

struct SeenCommand {
    int argc = -1;
    std::vector<std::string> argv;
    std::string args;
};
SeenCommand seen;

void record_command(edict_t *) {
    const enginefuncs_t &engine = *simhost::Engine::active()->functions();
    seen.argc = engine.pfnCmd_Argc();
    seen.argv.clear();
    for (int i = 0; i <= seen.argc; ++i)  // one past the end on purpose
        seen.argv.push_back(engine.pfnCmd_Argv(i));
    seen.args = engine.pfnCmd_Args();
}

qboolean refuse(edict_t *, const char *, const char *, char *) { return 0; }

}  // namespace

TEST_F(Players, UserIdsKeepIncreasingAcrossReconnects) {
    edict_t *alice = server.connect_player(named("Alice"));
    edict_t *bob = server.connect_player(named("Bob"));
    EXPECT_EQ(engine().pfnGetPlayerUserId(alice), 1);
    EXPECT_EQ(engine().pfnGetPlayerUserId(bob), 2);
    EXPECT_EQ(server.connect_player(named("Carol")), nullptr);  // full: no slot, no id

    server.disconnect_player(alice);
    EXPECT_EQ(engine().pfnGetPlayerUserId(alice), -1);
    EXPECT_TRUE(alice->free);
    game().pfnClientConnect = refuse;
    EXPECT_EQ(server.connect_player(named("Carol")), nullptr);  // refused by the game: id 3 is spent
    game().pfnClientConnect = nullptr;

    edict_t *again = server.connect_player(named("Alice"));
    EXPECT_EQ(again, alice);  // the lowest free slot
    EXPECT_EQ(engine().pfnGetPlayerUserId(again), 4);
    EXPECT_EQ(engine().pfnGetPlayerUserId(server.engine().world().edict(0)), -1);
}

TEST_F(Players, ConnectedPlayerCarriesWhatTheEngineReports) {
    simhost::PlayerSpec joining = named("Bob");
    joining.model = "gign";
    joining.team = 2;
    joining.ping = 87;
    joining.loss = 3;
    edict_t *bob = server.connect_player(joining);
    joining.name = "Robot";
    joining.bot = true;
    edict_t *robot = server.connect_player(joining);

    EXPECT_FALSE(bob->free);
    EXPECT_EQ(bob->v.flags, FL_CLIENT);
    EXPECT_EQ(robot->v.flags, FL_CLIENT | FL_FAKECLIENT);
    EXPECT_STREQ(server.engine().strings().text(bob->v.netname), "Bob");
    EXPECT_EQ(bob->v.team, 2);
    EXPECT_STREQ(engine().pfnGetPlayerAuthId(bob), "STEAM_0:0:1");
    EXPECT_STREQ(engine().pfnGetPlayerAuthId(robot), "BOT");
    int ping = -1, loss = -1;
    engine().pfnGetPlayerStats(bob, &ping, &loss);
    EXPECT_EQ(ping, 87);
    EXPECT_EQ(loss, 3);

    char *info = engine().pfnGetInfoKeyBuffer(bob);
    EXPECT_STREQ(info, "\\model\\gign\\name\\Bob");
    EXPECT_STREQ(engine().pfnInfoKeyValue(info, "model"), "gign");
    EXPECT_STREQ(engine().pfnInfoKeyValue(info, "name"), "Bob");
    EXPECT_STREQ(engine().pfnInfoKeyValue(info, "team"), "");
}

TEST_F(Players, RefusedPlayerLeavesTheSlotFree) {
    game().pfnClientConnect = refuse;
    EXPECT_EQ(server.connect_player(named("Mallory")), nullptr);
    EXPECT_TRUE(server.players().empty());
    EXPECT_TRUE(server.engine().world().edict(1)->free);
}

TEST_F(Players, CommandArgumentsAreThoseOfTheCommandBeingRun) {
    game().pfnClientCommand = record_command;
    edict_t *bob = server.connect_player(named("Bob"));

    server.client_command(bob, {"menuselect", "3", "now"});
    EXPECT_EQ(seen.argc, 3);
    EXPECT_EQ(seen.argv, (std::vector<std::string>{"menuselect", "3", "now", ""}));
    EXPECT_EQ(seen.args, "3 now");

    server.say_team(bob, "rush b now");
    EXPECT_EQ(seen.argv, (std::vector<std::string>{"say_team", "rush b now", ""}));
    EXPECT_EQ(seen.args, "rush b now");

    EXPECT_EQ(engine().pfnCmd_Argc(), 0);  // nothing once the command is over
    EXPECT_STREQ(engine().pfnCmd_Argv(0), "");
    EXPECT_STREQ(engine().pfnCmd_Args(), "");
}

TEST_F(Players, MapChangeHandsTheGameTheEdictList) {
    static edict_t *edicts;
    static int count, client_max;
    game().pfnServerActivate = [](edict_t *list, int edict_count, int clients) {
        edicts = list;
        count = edict_count;
        client_max = clients;
    };
    server.change_map("stalkyard");
    EXPECT_EQ(edicts, server.engine().world().edict(0));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(client_max, 2);
}
