// Loading, binding, attaching and detaching the built library, as a host does.
#include <cstring>
#include <string>

#include "e2e/harness.h"

using simhost::GameServer;
using simhost::ServerOptions;

namespace {

struct VariableDefault {
    const char *name;
    const char *text;
    int flags;
};

const VariableDefault kVariables[] = {
    {"orlex_mm_port", "0", 12},          {"orlex_mm_ip", "0", 8},
    {"orlex_mm_version", "1.1.0b", 12},  {"orlex_timer_refresh", "5.0", 8},
    {"orlex_refresh_lag", "-1", 8},      {"orlex_timer_server", "2.0", 8},
    {"orlex_timer_conncheck", "0.5", 8}, {"orlex_timer_query", "2.0", 8},
    {"orlex_port_pool", "10", 8},        {"orlex_port_avail", "10", 12},
    {"orlex_mm_udp_port", "0", 8},       {"orlex_mm_allow", "", 8},
    {"orlex_mm_rate", "0", 8},           {"orlex_mm_hide_password", "0", 8},
};

// A library opened but not bound: each test calls the entry points itself.
class EntryPointTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host.open(e2e::plugin_path(), &error)) << error;
        entry = host.entry_points();
        entry.GiveFnptrsToDll(engine.functions(), engine.globals());
        plugin_info_t *info = nullptr;
        ASSERT_EQ(entry.Meta_Query("5:13", &info, host.utility_functions()), 1);
    }

    simhost::Engine engine{simhost::EngineConfig()};
    simhost::PluginHost host{engine};
    simhost::EntryPoints entry;
};

}  // namespace

TEST(HostBinding, LoadsAttachesAndRunsFramesCleanly) {
    GameServer server{ServerOptions()};
    std::string error;
    ASSERT_TRUE(server.start(e2e::plugin_path(), &error)) << error;
    server.run_for(10.0);

    const plugin_info_t *info = server.host().plugin_info();
    EXPECT_STREQ(info->ifvers, "5:10");
    EXPECT_STREQ(info->name, "orlex_mm");
    EXPECT_STREQ(info->version, "1.1.0b");
    EXPECT_STREQ(info->date, "2004/03/10");
    EXPECT_STREQ(info->logtag, "ORLEX");
    EXPECT_EQ(info->loadable, PT_STARTUP);
    EXPECT_EQ(info->unloadable, PT_ANYPAUSE);

    const META_FUNCTIONS &meta = server.host().meta_functions();
    EXPECT_EQ(e2e::filled_slots(meta), (std::vector<int>{2, 6}));  // GetEntityAPI2, GetEngineFunctions

    EXPECT_TRUE(server.host().violations().empty()) << server.host().violations()[0];
    EXPECT_TRUE(server.engine().unexpected_calls().empty()) << server.engine().unexpected_calls()[0];
}

TEST(HostBinding, RegistersElevenVariablesWithExactDefaultsInOrder) {
    GameServer server{ServerOptions()};
    std::string error;
    ASSERT_TRUE(server.start(e2e::plugin_path(), &error)) << error;

    std::vector<std::string> names;
    for (const VariableDefault &expected : kVariables) {
        names.push_back(expected.name);
        const cvar_t *var = server.engine().cvars().find(expected.name);
        ASSERT_NE(var, nullptr) << expected.name;
        EXPECT_STREQ(var->string, expected.text) << expected.name;
        EXPECT_EQ(var->flags, expected.flags) << expected.name;
    }
    EXPECT_EQ(server.engine().cvars().registration_order(), names);
}

TEST(HostBinding, VariableSetBeforeAttachKeepsItsValue) {
    ServerOptions options;
    options.settings = {{"orlex_timer_refresh", "3"}};
    GameServer server{options};
    std::string error;
    ASSERT_TRUE(server.start(e2e::plugin_path(), &error)) << error;

    const cvar_t *var = server.engine().cvars().find("orlex_timer_refresh");
    EXPECT_STREQ(var->string, "3");
    EXPECT_FLOAT_EQ(var->value, 3.0f);
    EXPECT_EQ(var->flags, 8);
}

TEST(HostBinding, HooksExactlyTheFiveGameAndElevenEngineEntries) {
    GameServer server{ServerOptions()};
    std::string error;
    ASSERT_TRUE(server.start(e2e::plugin_path(), &error)) << error;

    // GameInit, ClientConnect, ClientCommand, ServerActivate, StartFrame.
    EXPECT_EQ(e2e::filled_slots(server.host().dll_hooks()), (std::vector<int>{0, 15, 19, 21, 25}));
    // ServerCommand, then MessageBegin to WriteEntity.
    EXPECT_EQ(e2e::filled_slots(server.host().engine_hooks()),
              (std::vector<int>{39, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55}));
}

TEST(HostBinding, WritesNothingPastAnOlderHostsShorterEngineTable) {
    for (int entries : {155, 156, 157, 158}) {
        ServerOptions options;
        options.engine_table_entries = entries;
        GameServer server{options};
        std::string error;
        ASSERT_TRUE(server.start(e2e::plugin_path(), &error)) << error;
        EXPECT_TRUE(server.host().violations().empty()) << entries << ": " << server.host().violations()[0];
        EXPECT_EQ(e2e::filled_slots(server.host().engine_hooks()).size(), 11u) << entries;
    }
}

TEST(HostBinding, HookCallsFromTheGameAllReportIgnored) {
    GameServer server{ServerOptions()};
    std::string error;
    ASSERT_TRUE(server.start(e2e::plugin_path(), &error)) << error;
    simhost::PluginHost &host = server.host();
    char reason[128] = "";
    host.client_connect(nullptr, "Bob", "10.0.0.1:27005", reason);
    host.client_command(nullptr);
    host.server_command("echo hello\n");
    host.message_begin(MSG_ALL, 70, nullptr, nullptr);
    host.write_byte(1);
    host.write_char(2);
    host.write_short(3);
    host.write_long(4);
    host.write_angle(5.0f);
    host.write_coord(6.0f);
    host.write_string("text");
    host.write_entity(7);
    host.message_end();

    EXPECT_TRUE(host.violations().empty()) << host.violations()[0];
    EXPECT_STREQ(reason, "");
    EXPECT_EQ(server.engine().server_commands(), (std::vector<std::string>{"echo hello\n"}));
}

TEST_F(EntryPointTest, GameTableVersionMismatchIsReportedAndCorrected) {
    DLL_FUNCTIONS table{};
    int version = 139;
    EXPECT_EQ(entry.GetEntityAPI2(&table, &version), 0);
    EXPECT_EQ(version, 140);
    EXPECT_TRUE(e2e::filled_slots(table).empty());
    ASSERT_EQ(engine.log().entries().size(), 1u);
    EXPECT_EQ(engine.log().entries()[0], "GetEntityAPI2 version mismatch; requested=139 ours=140\n");

    EXPECT_EQ(entry.GetEntityAPI2(&table, &version), 1);
    EXPECT_EQ(e2e::filled_slots(table).size(), 5u);
}

TEST_F(EntryPointTest, EngineTableVersionMismatchIsReportedAndCorrected) {
    enginefuncs_t table{};
    int version = 137;
    EXPECT_EQ(entry.GetEngineFunctions(&table, &version), 0);
    EXPECT_EQ(version, 138);
    EXPECT_TRUE(e2e::filled_slots(table).empty());
    ASSERT_EQ(engine.log().entries().size(), 1u);
    EXPECT_EQ(engine.log().entries()[0], "GetEngineFunctions version mismatch; requested=137 ours=138\n");

    EXPECT_EQ(entry.GetEngineFunctions(&table, &version), 1);
    EXPECT_EQ(e2e::filled_slots(table).size(), 11u);
}

TEST_F(EntryPointTest, NullTablesAreRefused) {
    int version = 140;
    EXPECT_EQ(entry.GetEntityAPI2(nullptr, &version), 0);
    version = 138;
    EXPECT_EQ(entry.GetEngineFunctions(nullptr, &version), 0);
    EXPECT_EQ(engine.log().entries(), (std::vector<std::string>{
                                          "GetEntityAPI2 called with null pFunctionTable\n",
                                          "GetEngineFunctions called with null pengfuncsFromEngine\n",
                                      }));
}

TEST_F(EntryPointTest, AttachWithoutResultRecordFailsAndTouchesNothing) {
    META_FUNCTIONS table;
    std::memset(&table, 0x5A, sizeof(table));
    const META_FUNCTIONS before = table;

    EXPECT_EQ(entry.Meta_Attach(PT_STARTUP, &table, nullptr, host.gamedll_functions()), 0);
    EXPECT_EQ(std::memcmp(&table, &before, sizeof(table)), 0);
    EXPECT_TRUE(engine.log().contains("[ORLEX] ERROR: Meta_Attach called with null pMGlobals"));
    EXPECT_TRUE(engine.cvars().registration_order().empty());
}

TEST_F(EntryPointTest, AttachWithoutFunctionTableFailsBeforeRegistering) {
    EXPECT_EQ(entry.Meta_Attach(PT_STARTUP, nullptr, host.meta_globals(), host.gamedll_functions()), 0);
    EXPECT_TRUE(engine.log().contains("[ORLEX] ERROR: Meta_Attach called with null pFunctionTable"));
    EXPECT_TRUE(engine.cvars().registration_order().empty());
}

TEST_F(EntryPointTest, DetachBeforeListeningReportsShuttingDown) {
    META_FUNCTIONS table{};
    ASSERT_EQ(entry.Meta_Attach(PT_STARTUP, &table, host.meta_globals(), host.gamedll_functions()), 1);
    EXPECT_EQ(entry.Meta_Detach(PT_ANYTIME, PNL_COMMAND), 1);
    EXPECT_EQ(engine.log().entries(),
              (std::vector<std::string>{"[ORLEX] Stopping listener\n", "[ORLEX] Shutting down\n"}));
}
