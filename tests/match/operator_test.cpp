// What the operator meets: the command line, the first line printed, the map rotation and the
// console's changelevel and status.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "match/offline_match.h"
#include "simhost/console_commands.h"
#include "simhost/program_options.h"
#include "simhost/startup_line.h"

using match_testing::match_options;
using match_testing::OfflineMatch;

namespace {

simhost::ParseOutcome parse(std::vector<const char *> words, simhost::ProgramOptions *options) {
    words.insert(words.begin(), "orlex_simhost");
    testing::internal::CaptureStderr();
    const simhost::ParseOutcome outcome =
        simhost::parse_program_options(static_cast<int>(words.size()), words.data(), options);
    testing::internal::GetCapturedStderr();
    return outcome;
}

// A console line's reply.
std::string type(OfflineMatch &live, const std::string &line) {
    std::FILE *out = std::tmpfile();
    simhost::run_console_line(live.server, line, out, &live.match);
    std::rewind(out);
    std::string reply;
    for (int c; (c = std::fgetc(out)) != EOF;)
        reply += static_cast<char>(c);
    std::fclose(out);
    return reply;
}

}  // namespace

TEST(ProgramOptions, MatchOptionsAndTheGamesFirstMap) {
    simhost::ProgramOptions options;
    ASSERT_EQ(parse({"--game", "tfc", "--bots", "32", "--seed", "99", "--rotate", "2.5"}, &options),
              simhost::ParseOutcome::run);
    EXPECT_EQ(options.server.map, "2fort");
    EXPECT_EQ(options.match.bots, 32);
    EXPECT_EQ(options.match.seed, 99u);
    EXPECT_DOUBLE_EQ(options.match.map_seconds, 150.0);

    simhost::ProgramOptions chosen;
    ASSERT_EQ(parse({"--game", "dod", "--map", "dod_custom", "--bots", "0"}, &chosen), simhost::ParseOutcome::run);
    EXPECT_EQ(chosen.server.map, "dod_custom");
    EXPECT_EQ(chosen.match.bots, 0);
}

TEST(ProgramOptions, ServerOptionsAndDecimalNumbers) {
    simhost::ProgramOptions options;
    ASSERT_EQ(parse({"--bots", "010", "--hostport", "27016", "--set", "mp_timelimit=30", "--set", "sv_password=a=b",
                     "--fps", "50", "--fast"},
                    &options),
              simhost::ParseOutcome::run);
    EXPECT_EQ(options.match.bots, 10);  // a leading zero is not octal
    EXPECT_EQ(options.server.engine.hostport, 27016);
    EXPECT_EQ(options.server.engine.port, 27016);
    ASSERT_EQ(options.server.settings.size(), 2u);
    EXPECT_EQ(options.server.settings[1].first, "sv_password");
    EXPECT_EQ(options.server.settings[1].second, "a=b");
    EXPECT_DOUBLE_EQ(options.server.fps, 50.0);
    EXPECT_TRUE(options.fast);
    EXPECT_FALSE(options.log);
}

TEST(ProgramOptions, SpeedPacesGameTimeAndIsRealTimeUnlessGiven) {
    simhost::ProgramOptions paced;
    ASSERT_EQ(parse({"--speed", "250"}, &paced), simhost::ParseOutcome::run);
    EXPECT_DOUBLE_EQ(paced.speed, 250.0);
    EXPECT_FALSE(paced.fast);
    simhost::ProgramOptions plain;
    ASSERT_EQ(parse({}, &plain), simhost::ParseOutcome::run);
    EXPECT_DOUBLE_EQ(plain.speed, 1.0);
}

TEST(ProgramOptions, RefusesImpossibleMatches) {
    for (std::vector<const char *> words : {std::vector<const char *>{"--bots", "33"},
                                            {"--bots", "-1"},
                                            {"--bots", "2.5"},
                                            {"--seed", "-4"},
                                            {"--rotate", "-1"},
                                            {"--speed", "0"},
                                            {"--speed", "nan"},
                                            {"--speed", "300", "--fast"}}) {
        simhost::ProgramOptions options;
        EXPECT_EQ(parse(words, &options), simhost::ParseOutcome::error) << words[0];
    }
}

TEST(StartupLine, NamesTheGameMapBotsTheAddressTheListenerBindsAndTheClientCommand) {
    OfflineMatch live("cstrike");
    EXPECT_EQ(simhost::startup_line(live.server, live.match, "build/orlex_client"),
              "orlex_simhost: cstrike on de_dust with 12 bots; the plug-in listens on 0.0.0.0:40015 (every interface) "
              "five seconds after start; watch it with: build/orlex_client 127.0.0.1 40015");
    live.server.engine().cvars().set("orlex_mm_ip", "127.0.0.1");
    EXPECT_NE(simhost::startup_line(live.server, live.match, "c").find("listens on 127.0.0.1:40015 five seconds"),
              std::string::npos);
    live.server.engine().cvars().set("orlex_mm_port", "5000");
    live.server.engine().cvars().set("orlex_mm_ip", "-1");
    live.server.engine().cvars().set("net_address", "10.1.2.3:27015");
    EXPECT_NE(simhost::startup_line(live.server, live.match, "c").find("listens on 10.1.2.3:5000"), std::string::npos);
}

namespace {
std::vector<int> rejoined;
qboolean note_connect(edict_t *player, const char *, const char *, char *) {
    rejoined.push_back(simhost::Engine::active()->functions()->pfnGetPlayerUserId(player));
    return 1;
}
}  // namespace

TEST(MapRotation, NextMapComesWithFreshScoresNewObjectivesAndTheSamePlayers) {
    OfflineMatch live("cstrike", match_options(1, 60.0));
    std::vector<int> user_ids;
    for (const simhost::Bot &bot : live.match.bots())
        user_ids.push_back(live.info(bot).user_id);
    rejoined.clear();
    live.server.host().gamedll_functions()->dllapi_table->pfnClientConnect = note_connect;
    while (live.server.map() == "de_dust")
        live.play(live.server.frame_time());
    // Each client connects to the game again, as after a real map change: the people with their user
    // ids, the game's own bots (dropped with the old map) with new ones.
    ASSERT_EQ(rejoined.size(), user_ids.size());
    const int last_user_id = *std::max_element(user_ids.begin(), user_ids.end());
    for (size_t i = 0; i < user_ids.size(); ++i) {
        if (live.match.bots()[i].fake)
            EXPECT_GT(rejoined[i], last_user_id) << i;
        else
            EXPECT_EQ(rejoined[i], user_ids[i]) << i;
    }
    EXPECT_NEAR(live.match.time_to_rotation(), 60.0, 0.02);
    EXPECT_EQ(live.server.map(), "cs_office");
    EXPECT_TRUE(live.entities("weapon_c4").empty());
    EXPECT_EQ(live.entities("hostage_entity").size(), 4u);
    for (size_t i = 0; i < live.match.bots().size(); ++i) {
        const simhost::Bot &bot = live.match.bots()[i];
        EXPECT_EQ(live.info(bot).user_id, rejoined[i]);
        EXPECT_EQ(bot.edict->v.frags, 0.0f);
        EXPECT_EQ(bot.deaths, 0);
        EXPECT_EQ(bot.edict->v.deadflag, DEAD_NO);
    }
    live.play(240.0);
    EXPECT_EQ(live.server.map(), "de_dust");  // the rotation goes round
}

TEST(Console, ChangelevelPlaysAMapTheServerHasAndRefusesOthers) {
    OfflineMatch live("tfc");
    EXPECT_EQ(type(live, "changelevel well"), "changelevel: now playing well\n");
    EXPECT_EQ(live.server.map(), "well");
    EXPECT_EQ(live.entities("item_tfgoal").size(), 2u);
    EXPECT_EQ(type(live, "changelevel ../../etc/passwd"), "changelevel: no map ../../etc/passwd\n");
    EXPECT_EQ(type(live, "changelevel de_dust"), "changelevel: no map de_dust\n");  // not a tfc map
    EXPECT_EQ(type(live, "changelevel"), "usage: changelevel MAP\n");
    EXPECT_EQ(live.server.map(), "well");
}

TEST(Console, StatusShowsEachPlayersFragsAndDeaths) {
    OfflineMatch live("valve");
    live.play(120.0);
    const std::string report = type(live, "status");
    EXPECT_NE(report.find("ping loss frags deaths\n"), std::string::npos);
    const simhost::Bot &first = live.match.bots().front();
    char columns[32];
    std::snprintf(columns, sizeof(columns), " %5d %6d", static_cast<int>(first.edict->v.frags), first.deaths);
    ASSERT_GT(first.deaths, 0);
    const size_t line = report.find("\"" + live.info(first).name + "\"");
    ASSERT_NE(line, std::string::npos);
    EXPECT_NE(report.substr(line, report.find('\n', line) - line).find(columns), std::string::npos) << report;
}

TEST(Console, HeapTellsTheBytesInUseAndFollowsAllocations) {
    OfflineMatch live("valve");
    const auto bytes = [&] {
        long long value = -1;
        std::sscanf(type(live, "heap").c_str(), "heap in use: %lld bytes", &value);
        return value;
    };
    const long long before = bytes();
    ASSERT_GT(before, 0);
    std::vector<char> held(1 << 20, 'x');
    EXPECT_GE(bytes(), before + (1 << 20) - 4096);
    EXPECT_EQ(held[12345], 'x');
}

// What an administrator's commands do to the match: a kicked or banned player is out, also after a
// map change, while the others play on.
TEST(Console, KickAndBansKeepPlayersOut) {
    OfflineMatch live("cstrike");
    live.play(5.0);
    const std::vector<simhost::Bot> &bots = live.match.bots();
    auto connected = [&live](const simhost::Bot &bot) {
        return live.server.engine().world().player_info(bot.edict) != nullptr;
    };
    auto bot_with = [&](const std::string &auth_id_start, size_t skip) -> const simhost::Bot & {
        for (const simhost::Bot &bot : bots)
            if (live.info(bot).auth_id.rfind(auth_id_start, 0) == 0 && skip-- == 0)
                return bot;
        return bots.front();
    };
    const simhost::Bot &kicked = bot_with("STEAM_", 0);
    const simhost::Bot &banned = bot_with("STEAM_", 1);
    const simhost::Bot &fake = bot_with("BOT", 0);
    const std::string banned_id = live.info(banned).auth_id;
    const std::string fake_ip = live.info(fake).address.substr(0, live.info(fake).address.find(':'));

    EXPECT_EQ(type(live, "kick # " + std::to_string(live.info(kicked).user_id) + " bye now"), "");
    EXPECT_FALSE(connected(kicked));
    EXPECT_EQ(type(live, "kick #9999"), "");  // nobody: nothing said
    EXPECT_EQ(type(live, "banid 0 BOT"), "banid: BOT is not a unique id; ban the address\n");
    EXPECT_EQ(type(live, "banid 0 #" + std::to_string(live.info(banned).user_id)),
              banned_id + " was banned permanently\n");
    EXPECT_TRUE(connected(banned));  // until the map changes: no "kick" was asked
    EXPECT_EQ(type(live, "addip 0 " + fake_ip), "");
    EXPECT_FALSE(connected(fake));
    EXPECT_NE(type(live, "listip").find(fake_ip + " : permanent"), std::string::npos);

    type(live, "changelevel de_aztec");
    live.play(10.0);
    EXPECT_FALSE(connected(kicked));
    EXPECT_FALSE(connected(banned));
    EXPECT_FALSE(connected(fake));
    size_t playing = 0;
    for (const simhost::Bot &bot : bots)
        playing += connected(bot) && simhost::alive(bot);
    EXPECT_GT(playing, 0u);
    EXPECT_NE(type(live, "maps *").find("de_aztec.bsp\n"), std::string::npos);
}
