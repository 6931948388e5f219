// Whole simulated matches of each game with the built plug-in, watched through an admin client:
// what a front end would show must be there, well formed, and follow the match.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "match/live_match.h"

using match_testing::LiveMatch;
using records::Record;

namespace {

struct GameCase {
    const char *game;
    std::vector<std::string> objectives;  // record kinds that must at some point hold entities
    std::vector<std::string> team_names;  // of the SERVER record; none where the plug-in keeps none
};

void PrintTo(const GameCase &game, std::ostream *out) { *out << game.game; }

const std::set<std::string> TABLE_KINDS = {"PLAYER",     "FLAG",      "BOMB", "HOSTAGE",  "SENTRY",
                                           "TELEPORTER", "DISPENSER", "HIVE", "RESOURCE", "COMMAND"};
const char *const CONSOLE_TEXT = "server restarts after this map";

double total(const Record &record, const std::string &key) {
    double sum = 0.0;
    for (const std::string &field : *record.fields(key))
        sum += std::atof(field.c_str());
    return sum;
}

// True when some report shows more than the one before it.
bool grows(const std::vector<Record> &reports, const std::string &key) {
    for (size_t i = 1; i < reports.size(); ++i)
        if (total(reports[i], key) > total(reports[i - 1], key))
            return true;
    return false;
}

bool is_integer(const std::string &text) {
    char *end = nullptr;
    std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0';
}

void expect_well_formed(const LiveMatch &live) {
    EXPECT_EQ(live.malformed(), 0u);
    for (const Record &record : live.received()) {
        if (!TABLE_KINDS.count(record.type))
            continue;
        for (const auto &line : record.lines)
            EXPECT_EQ(line.second.size(), record.entities()) << record.type << " " << line.first;
    }
}

void expect_bots_listed(LiveMatch &live) {
    const std::vector<Record> players = live.of_type("PLAYER");
    ASSERT_FALSE(players.empty());
    std::multiset<std::string> names, expected;
    for (const simhost::Bot &bot : live.match().bots())
        expected.insert(live.server().engine().world().player_info(bot.edict)->name);
    const Record &last = players.back();
    names.insert(last.fields("NAMES")->begin(), last.fields("NAMES")->end());
    EXPECT_EQ(names, expected);
    std::set<std::string> kinds_of_ids;
    for (const std::string &id : *last.fields("STEAM_ID"))
        kinds_of_ids.insert(id == "BOT" ? id : id.substr(0, 8));
    EXPECT_EQ(kinds_of_ids, (std::set<std::string>{"BOT", "STEAM_0:"}));
}

void expect_deaths_and_kills(const LiveMatch &live) {
    const std::vector<Record> players = live.of_type("PLAYER");
    EXPECT_TRUE(grows(players, "DEATHS"));
    EXPECT_TRUE(grows(players, "KILLS"));
}

void expect_objectives(const LiveMatch &live, const std::vector<std::string> &kinds) {
    for (const std::string &kind : kinds) {
        size_t most = 0;
        for (const Record &record : live.of_type(kind))
            most = std::max(most, record.entities());
        EXPECT_GT(most, 0u) << kind;
    }
}

// Each score shown is a whole number the game could have sent: in "tfc" the teams' capture points,
// rarely any in a short match (a count of deaths shown instead is the fault this guards against);
// elsewhere rounds are won, so some score is not 0.
void expect_teams(LiveMatch &live, const std::vector<std::string> &names) {
    const bool captures_only = live.match().game() == "tfc";
    bool scored = false;
    for (const Record &record : live.of_type("SERVER")) {
        const std::vector<std::string> &scores = *record.fields("TEAM_SCORES");
        if (record.fields("TEAM_NAMES")->empty())
            continue;  // a map's first report, before the game sends its scores
        EXPECT_EQ(*record.fields("TEAM_NAMES"), names);
        ASSERT_EQ(scores.size(), names.size());
        for (const std::string &score : scores) {
            EXPECT_TRUE(is_integer(score)) << score;
            if (captures_only) {
                EXPECT_EQ(std::atoi(score.c_str()) % 10, 0) << score;
            }
            scored = scored || std::atoi(score.c_str()) != 0;
        }
    }
    if (!captures_only) {
        EXPECT_EQ(scored, !names.empty());
    }
}

void expect_chat(LiveMatch &live) {
    bool relayed = false;
    for (const Record &record : live.of_type("SERVER_SAY"))  // quoted as the server log quotes it
        relayed = relayed || record.value("CHAT") == "\"" + std::string(CONSOLE_TEXT) + "\"";
    EXPECT_TRUE(relayed);

    std::set<int> talkers, people;
    for (const simhost::Bot &bot : live.match().bots())
        if (!bot.fake)
            people.insert(live.server().engine().world().player_info(bot.edict)->user_id);
    for (const char *kind : {"SAY", "SAY_TEAM"})
        for (const Record &record : live.of_type(kind))
            talkers.insert(std::atoi(record.value("USER_ID").c_str()));
    EXPECT_FALSE(talkers.empty());
    for (int user_id : talkers)
        EXPECT_TRUE(people.count(user_id)) << user_id;
}

class LiveMatchTest : public ::testing::TestWithParam<GameCase> {};

}  // namespace

// Two maps of a few minutes each, with the console's chat halfway through the first.
TEST_P(LiveMatchTest, ClientSeesPlayersObjectivesScoresAndChatOfAWholeMatch) {
    LiveMatch live(GetParam().game, 130.0);
    std::string error;
    ASSERT_TRUE(live.start(&error)) << error;
    live.play(60.0);
    live.server().console_say(CONSOLE_TEXT);
    live.play(200.0);
    live.settle();
    ASSERT_NE(live.server().map(), simhost::map_rotation(GetParam().game).front().name) << "no rotation";

    expect_well_formed(live);
    expect_bots_listed(live);
    expect_deaths_and_kills(live);
    expect_objectives(live, GetParam().objectives);
    expect_teams(live, GetParam().team_names);
    expect_chat(live);
}

INSTANTIATE_TEST_SUITE_P(
    Games, LiveMatchTest,
    ::testing::Values(GameCase{"cstrike", {"BOMB", "HOSTAGE"}, {"TERRORIST", "CT"}},
                      GameCase{"tfc", {"FLAG", "SENTRY", "TELEPORTER", "DISPENSER"}, {"Blue", "Red"}},
                      GameCase{"dod", {"FLAG"}, {"Allied", "Axis"}},
                      GameCase{"nsp", {"HIVE", "RESOURCE", "COMMAND"}, {}}, GameCase{"valve", {}, {}}),
    [](const ::testing::TestParamInfo<GameCase> &info) { return std::string(info.param.game); });
