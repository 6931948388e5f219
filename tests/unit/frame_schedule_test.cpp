// The frame loop compares the clock with the earliest due time only: whatever moves a due time
// (a re-armed timer, a map start, attach) must move that too, or a task would be late.
#include "plugin/dllapi.h"
#include "plugin/exports.h"
#include "state/teams.h"
#include "unit/plugin_fixture.h"

namespace {

class FrameScheduleTest : public PluginFixture {
protected:
    void frame_at(double time) {
        engine.set_time(time);
        StartFrame();
    }

    void activate_map() {
        DLL_FUNCTIONS table{};
        int version = INTERFACE_VERSION;
        ASSERT_EQ(GetEntityAPI2(&table, &version), 1);
        table.pfnServerActivate(nullptr, 0, 32);
    }
};

TEST_F(FrameScheduleTest, TasksFallDueWhenTheirTimePassesAndAgainOnAMapsFirstFrame) {
    attach(1.0);
    frame_at(1.0);  // a map not seen yet: every task runs and re-arms
    EXPECT_FLOAT_EQ(fUpdateTime[SERVER_TASK], 3.0f);
    EXPECT_FLOAT_EQ(fUpdateTime[CONNECTION_TASK], 1.5f);
    for (double time : {1.1, 1.2, 1.3, 1.4, 1.5})  // the rest of the first report cycle
        frame_at(time);
    ASSERT_FALSE(bSendUpdate);
    EXPECT_FLOAT_EQ(fUpdateTime[CONNECTION_TASK], 1.5f);  // not past its time yet

    frame_at(1.6);
    EXPECT_FLOAT_EQ(fUpdateTime[CONNECTION_TASK], 2.1f);
    EXPECT_FLOAT_EQ(fUpdateTime[SERVER_TASK], 3.0f);

    activate_map();  // the clock need not go back: the map start alone makes every task due
    frame_at(1.7);
    EXPECT_FLOAT_EQ(fUpdateTime[SERVER_TASK], 3.7f);
    EXPECT_FLOAT_EQ(fUpdateTime[QUERY_TASK], 3.7f);
}

TEST_F(FrameScheduleTest, AClockGoneBackIsANewMapOnAFrameWithNothingDue) {
    attach(1.0);
    frame_at(1.0);
    frame_at(1.2);
    team_scores[0] = 7;
    frame_at(1.25);  // nothing due, clock forward: the scores stay
    EXPECT_EQ(team_scores[0], 7);
    frame_at(1.18);  // back by less than a tenth: the same map
    EXPECT_EQ(team_scores[0], 7);
    frame_at(0.5);  // nothing due either, but the clock went back: a new map clears them
    EXPECT_EQ(team_scores[0], 0);
}

}  // namespace
