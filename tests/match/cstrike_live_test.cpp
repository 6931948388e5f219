// A whole "cstrike" match as the current game plays it, watched through the built plug-in: the
// planted bomb, classless armour, the game's own bots across a map change and the scores after an
// operator's sv_restart.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "match/live_match.h"
#include "simhost/console_commands.h"

using match_testing::LiveMatch;
using records::Record;

namespace {

bool any_value(const std::vector<Record> &records, const std::string &key, bool (*wanted)(double)) {
    for (const Record &record : records)
        for (const std::string &value : *record.fields(key))
            if (wanted(std::atof(value.c_str())))
                return true;
    return false;
}

}  // namespace

TEST(CstrikeLive, PlantedBombArmourBotsAfterAMapChangeAndScoresAfterARestart) {
    const double MAP_SECONDS = 240.0;
    LiveMatch live("cstrike", MAP_SECONDS);
    std::string error;
    ASSERT_TRUE(live.start(&error)) << error;
    live.play(MAP_SECONDS + 30.0);  // into the second map
    std::FILE *quiet = std::fopen("/dev/null", "w");
    ASSERT_NE(quiet, nullptr);
    simhost::run_console_line(live.server(), "sv_restart 1", quiet, &live.match());
    std::fclose(quiet);
    live.play(8.0);  // restarted a second later, then rebuilt and sent at the next report cycle
    live.settle();

    EXPECT_EQ(live.malformed(), 0u);
    EXPECT_TRUE(any_value(live.of_type("BOMB"), "PLANTED", [](double planted) { return planted == 1.0; }));
    EXPECT_TRUE(any_value(live.of_type("PLAYER"), "ARMOR", [](double armor) { return armor > 0.0; }));
    const std::vector<Record> servers = live.of_type("SERVER");
    ASSERT_FALSE(servers.empty());
    EXPECT_EQ(*servers.back().fields("TEAM_SCORES"), (std::vector<std::string>{"0", "0"}));

    // Every player, the game's own bots included, is timed from this map, which began 43.5 seconds
    // ago (the listener's 5.5 seconds, then 240 on the first map).
    const Record players = live.of_type("PLAYER").back();
    ASSERT_EQ(players.entities(), live.match().bots().size());
    for (const std::string &connected : *players.fields("TIMES")) {
        EXPECT_GE(std::atof(connected.c_str()), 0.0) << connected;
        EXPECT_LE(std::atof(connected.c_str()), 43.5) << connected;
    }
}
