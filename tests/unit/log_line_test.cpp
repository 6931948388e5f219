#include <string>

#include "host/sdk_util.h"
#include "unit/plugin_fixture.h"

using LogLineTest = PluginFixture;

TEST_F(LogLineTest, FormatsOneLineOfTheServerLog) {
    UTIL_LogPrintf("[ORLEX] Connect::%i", 3);
    ASSERT_EQ(engine.log().entries().size(), 1u);
    EXPECT_EQ(engine.log().entries()[0], "[ORLEX] Connect::3\n");
}

TEST_F(LogLineTest, CutsLongTextToItsFirst1023Characters) {
    const std::string text(1500, 'x');
    UTIL_LogPrintf("%s", text.c_str());
    ASSERT_EQ(engine.log().entries().size(), 1u);
    EXPECT_EQ(engine.log().entries()[0], std::string(1023, 'x') + "\n");
}

TEST_F(LogLineTest, TextOfExactlyTheBufferFitsWhole) {
    const std::string text(1023, 'y');
    UTIL_LogPrintf("%s", text.c_str());
    EXPECT_EQ(engine.log().entries()[0], text + "\n");
}
