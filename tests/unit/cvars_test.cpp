#include <cmath>
#include <limits>
#include <string>

#include "host/cvars.h"
#include "unit/plugin_fixture.h"

namespace {
cvar_t number(float value) { return cvar_t{"test", "", 0, value, nullptr}; }
}  // namespace

TEST(CvarWhole, ConvertsTowardZero) {
    cvar_t var = number(13015.9f);
    EXPECT_EQ(cvar_whole(&var), 13015);
    var = number(-0.5f);
    EXPECT_EQ(cvar_whole(&var), 0);
    var = number(-7.9f);
    EXPECT_EQ(cvar_whole(&var), -7);
}

TEST(CvarWhole, ClampsInsteadOfOverflowing) {
    cvar_t var = number(1e20f);
    EXPECT_EQ(cvar_whole(&var), std::numeric_limits<int>::max());
    var = number(-1e20f);
    EXPECT_EQ(cvar_whole(&var), std::numeric_limits<int>::min());
}

TEST(CvarReaders, MissingVariableOrNotFiniteReadsAsZeroOrEmpty) {
    EXPECT_EQ(cvar_whole(nullptr), 0);
    EXPECT_EQ(cvar_float(nullptr), 0.0f);
    EXPECT_STREQ(cvar_text(nullptr), "");
    cvar_t var = number(std::nanf(""));
    EXPECT_EQ(cvar_whole(&var), 0);
    var = number(std::numeric_limits<float>::infinity());
    EXPECT_EQ(cvar_whole(&var), 0);
    EXPECT_EQ(cvar_float(&var), 0.0f);
    var.string = nullptr;
    EXPECT_STREQ(cvar_text(&var), "");
}

TEST(CvarTable, FourteenRecordsThenTheEndMarker) {
    EXPECT_STREQ(orlex_cvars[0].name, "orlex_mm_port");
    EXPECT_STREQ(orlex_cvars[10].name, "orlex_mm_udp_port");
    EXPECT_STREQ(orlex_cvars[13].name, "orlex_mm_hide_password");
    EXPECT_EQ(orlex_cvars[14].name, nullptr);
    for (const cvar_t &record : orlex_cvars) {
        // The number of each record is its default text read as a number, except the texts.
        if (record.name && std::string(record.name) != "orlex_mm_version" &&
            std::string(record.name) != "orlex_mm_allow") {
            EXPECT_FLOAT_EQ(record.value, std::stof(record.string)) << record.name;
        }
        EXPECT_EQ(record.next, nullptr);
    }
    EXPECT_FLOAT_EQ(orlex_cvars[2].value, 0.0f);
}

using CvarAccessTest = PluginFixture;

TEST_F(CvarAccessTest, WritesGoThroughTheEngineAndTheNumberFollows) {
    attach();
    cvar_set_text(orlex_timer_refresh, "3.0");
    EXPECT_STREQ(engine.cvars().find("orlex_timer_refresh")->string, "3.0");
    EXPECT_FLOAT_EQ(cvar_float(orlex_timer_refresh), 3.0f);

    cvar_set_whole(orlex_port_avail, -2147483647 - 1);
    EXPECT_STREQ(cvar_text(orlex_port_avail), "-2147483648");

    cvar_set_text(nullptr, "1");  // a variable the engine refused: nothing happens
}

TEST_F(CvarAccessTest, EngineVariableMissingReadsAsEmpty) {
    EXPECT_STREQ(engine_cvar_text("hostport"), "27015");
    EXPECT_STREQ(engine_cvar_text("no_such_variable"), "");
}
