#include "plugin/dllapi.h"
#include "unit/plugin_fixture.h"

using AttachTest = PluginFixture;

TEST_F(AttachTest, SchedulesTheListenerFiveSecondsAfterAttach) {
    attach(0.0);
    EXPECT_FLOAT_EQ(fStartListening, 5.0f);

    attach(12.5);
    EXPECT_FLOAT_EQ(fStartListening, 17.5f);
}
