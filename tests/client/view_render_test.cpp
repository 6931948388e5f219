// The view as text: fixed columns, readable numbers, game text that cannot disturb the terminal.
#include <gtest/gtest.h>

#include <sstream>

#include "client/cells.h"
#include "client/render.h"
#include "client/sample_records.h"

namespace {

using Words = std::vector<std::string>;

std::string render(const std::string &stream, size_t width = 100) {
    view::Feed feed;
    feed.add(stream);
    return view::render(feed.state(), width);
}

// The first rendered line that starts with the text, split at spaces.
Words words_of_line(const std::string &shown, const std::string &start) {
    const size_t at = shown.compare(0, start.size(), start) == 0 ? 0 : shown.find("\n" + start);
    if (at == std::string::npos)
        return {};
    std::istringstream line(shown.substr(at, shown.find('\n', at + 1) - at));
    Words words;
    for (std::string word; line >> word;)
        words.push_back(word);
    return words;
}

}  // namespace

TEST(ClientPlayerTable, RowCarriesEachValueReadably) {
    const std::string bob = samples::players({"Bob"}, {{"TEAM", "1"},
                                                       {"KILLS", "3.000000"},
                                                       {"DEATHS", "2"},
                                                       {"HEALTH", "0.754000"},
                                                       {"ARMOR", "0.5"},
                                                       {"PINGS", "48"},
                                                       {"PACKET_LOSS", "3"},
                                                       {"TIMES", "3725.900000"},
                                                       {"X_COORD", "-1024.600000"},
                                                       {"Y_COORD", "2048.000000"},
                                                       {"Z_COORD", "-64.000000"}});
    EXPECT_EQ(words_of_line(render(bob), "Bob"),
              (Words{"Bob", "1", "3", "2", "75", "50", "48", "3", "1:02:05", "-1025", "2048", "-64"}));
    const std::string dead = samples::players({"Al"}, {{"TEAM", "-1"}, {"TIMES", "65.0"}, {"DEAD", "1"}});
    EXPECT_EQ(words_of_line(render(dead), "Al"),
              (Words{"Al", "-", "0", "0", "dead", "0", "25", "0", "1:05", "0", "0", "0"}));
}

TEST(ClientPlayerTable, LongNamesAreCutAndColumnsStayAligned) {
    const std::string stream = samples::server() + samples::players({std::string(60, 'L'), "S"}, {{"KILLS", "1", "1"}});
    for (size_t width : {40u, 80u, 100u, 160u}) {
        const std::string shown = render(stream, width);
        std::istringstream lines(shown);
        for (std::string line; std::getline(lines, line);)
            EXPECT_LE(view::columns(line), width) << line;
        const size_t frags_end = shown.find("Frags") - shown.rfind('\n', shown.find("Frags")) + 4;
        EXPECT_EQ(shown.substr(shown.find("\nLLL") + frags_end, 2), "1 ") << shown;  // under the heading's end
        EXPECT_EQ(shown.substr(shown.find("\nS ") + frags_end, 2), "1 ") << shown;
    }
}

// Team names as the page shows them, cut to their column: in 80 columns a 12-character player name
// is whole. A team the server's record does not list keeps its number.
TEST(ClientPlayerTable, TeamNamesFitBesideWholeNamesIn80Columns) {
    const std::string stream =
        samples::server() + samples::players({"TwelveLetter", "S", "X"}, {{"TEAM", "0", "1", "5"}});
    const std::string shown = render(stream, 80);
    std::istringstream lines(shown);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(view::columns(line), 80u) << line;
    EXPECT_EQ(words_of_line(shown, "TwelveLetter").at(1), "TERROR") << shown;
    EXPECT_EQ(words_of_line(shown, "S ").at(1), "CT") << shown;
    EXPECT_EQ(words_of_line(shown, "X ").at(1), "5") << shown;
    EXPECT_EQ(words_of_line(shown, "Name").at(1), "Team") << shown;
}

TEST(ClientText, GameTextCannotReachTheTerminalAsControls) {
    const std::string stream = samples::server("de_\x1b]0;x\x07", "host\x7f\x1b[H") +
                               samples::players({"\x1b[2JEvil\x07\x9b"
                                                 "31m\xc2\x9b"}) +
                               samples::say("Evil: \x1b[31mred\r") + samples::server_say("\xff\xfe bad bytes");
    const std::string shown = render(stream);
    for (const char *control : {"\x1b", "\x07", "\x7f", "\r", "\x9b", "\xff", "\xfe"})
        EXPECT_EQ(shown.find(control), std::string::npos) << shown;
    EXPECT_NE(shown.find("\n?[2JEvil??31m?? "), std::string::npos) << shown;
}

TEST(ClientText, MultibyteNamesAreCountedAndCutByCharacter) {
    const std::string shown = render(samples::players({"Жérôme ★★★★★★"}), 40);  // names get 6 columns
    EXPECT_NE(shown.find("\nЖérôme 0          0 "), std::string::npos) << shown;
}

TEST(ClientServerLines, MapHostTimeAndTeamScores) {
    const std::string lines =
        "Host  Friday night\n"
        "Map   de_dust2 (cstrike)   Players 0/32   Time left 12:34   Up 1:02:05\n"
        "Teams TERRORIST 3 | CT 5\n\n";
    EXPECT_EQ(render(samples::server() + samples::players({})).substr(0, lines.size()), lines);
    std::string record = samples::server();
    record.replace(record.find("754.500000"), 10, "-41.250000");
    record.replace(record.find("TEAM_NAMES"), std::string::npos, "TEAM_NAMES\nTEAM_SCORES\n\n");
    const std::string shown = render(record);
    EXPECT_NE(shown.find("Players ?/32   Time left -   Up"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Teams"), std::string::npos);
}

TEST(ClientObjectiveTables, KeysAsHeadingsAndShortNumbers) {
    const std::string sentries = samples::table("SENTRY", {{"SG_NUM", "0", "1"},
                                                           {"SG_X_COORD", "-512.000000", "640.250000"},
                                                           {"SG_LEVEL", "models/sentry2.mdl", ""},
                                                           {"SG_HEALTH", "0.500000", "1.000000"}});
    const std::string shown = render(sentries + samples::flags(0));
    EXPECT_EQ(words_of_line(shown, "SENTRY"), (Words{"SENTRY", "2"}));
    EXPECT_EQ(words_of_line(shown, "NUM"), (Words{"NUM", "X_COORD", "LEVEL", "HEALTH"}));
    EXPECT_EQ(words_of_line(shown, "0 "), (Words{"0", "-512", "models/sentry2.mdl", "0.5"}));
    EXPECT_EQ(words_of_line(shown, "1 "), (Words{"1", "640.25", "1"}));
    EXPECT_EQ(words_of_line(shown, "None"), (Words{"None", "of", "FLAG"}));
}
