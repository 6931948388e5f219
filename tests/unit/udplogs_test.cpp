#include "events/udplogs.h"

#include <gtest/gtest.h>

#include <string>

#include "events/chat.h"

using udplogs::ParsePlayerInfo;

namespace {

std::string drain(CStrings &queue) {
    const char *joined = queue.Combine(0, ~0u, "");
    std::string text = joined ? joined : "";
    queue.Clear();
    return text;
}

void handle(const std::string &line) {
    udplogs::ParseLogLine(line.c_str());
    udplogs::HandleLogLine();
}

}  // namespace

TEST(LogChat, ConsoleSayBecomesServerSayWithItsQuotes) {
    handle("log L 12/09/2026 - 14:06:43: Server say \"hello world\"");
    EXPECT_EQ(udplogs::argc, 9);
    EXPECT_EQ(drain(tcp_server_say_buf), "TYPE\tSERVER_SAY\nCHAT\t\"hello world\"\n\n");
}

TEST(LogChat, PlayerLinesAsTheServerWritesThemYieldNothing) {
    // The token's closing quote opens a quoted section up to the message's opening quote.
    handle("log L 12/09/2026 - 14:06:43: \"Bob<7><STEAM_0:1:2><CT>\" say \"hi\"");
    handle("log L 12/09/2026 - 14:06:43: \"Bob<7><STEAM_0:1:2><CT>\" say_team \"hi\"");
    EXPECT_EQ(tcp_say_buf.GetSize() + tcp_say_team_buf.GetSize(), 0u);
}

TEST(LogChat, UnquotedPlayerTokenGivesSayAndSayTeam) {
    handle("log L 12/09/2026 - 14:06:43: Bob<7><BOT><CT> say rush b");
    handle("log L 12/09/2026 - 14:06:43: Bob<7><BOT><CT> say_team hold");
    EXPECT_EQ(drain(tcp_say_buf), "TYPE\tSAY\nUSER_ID\t7\nCHAT\tBob: rush b\n\n");
    EXPECT_EQ(drain(tcp_say_team_buf), "TYPE\tSAY_TEAM\nUSER_ID\t7\nCHAT\t(TEAM)Bob: hold\n\n");
}

TEST(LogChat, OtherLinesAreIgnored) {
    handle("log L 12/09/2026 - 14:06:43: Server say");  // seven words
    handle("log L 12/09/2026 - 14:06:43: Server Say hi");
    handle("log L 12/09/2026 - 14:06:43: Server say_team hi");  // not a player token: no id
    udplogs::ParseLogLine("");                                  // an empty line leaves the last line's words
    EXPECT_EQ(udplogs::argc, 8);
    EXPECT_EQ(tcp_server_say_buf.GetSize(), 0u);
    EXPECT_EQ(tcp_say_buf.GetSize(), 0u);
    EXPECT_EQ(drain(tcp_say_team_buf), "TYPE\tSAY_TEAM\nUSER_ID\t0\nCHAT\t(TEAM)Server: hi\n\n");
}

TEST(LogChat, EmptyMessageGivesAnEmptyText) {
    handle("log L 12/09/2026 - 14:06:43: Server say  ");
    EXPECT_EQ(drain(tcp_server_say_buf), "TYPE\tSERVER_SAY\nCHAT\t\n\n");
}

TEST(LogChat, TabsAndLineFeedsInTheMessageCannotForgeLines) {
    handle("log L 12/09/2026 - 14:06:43: Server say a\tTYPE\rb");
    EXPECT_EQ(drain(tcp_server_say_buf), "TYPE\tSERVER_SAY\nCHAT\ta TYPE b\n\n");
}

TEST(PlayerToken, FieldsFromTheRight) {
    udplogs::PlayerInfo_t info = ParsePlayerInfo("\"Name<2><STEAM_0:0:1><CT>\"");
    EXPECT_STREQ(info.name, "Name");
    EXPECT_EQ(info.userid, 2);
    EXPECT_STREQ(info.authid, "STEAM_0:0:1");
    EXPECT_STREQ(info.team, "CT");

    info = ParsePlayerInfo("\"Name<12><BOT><>\"");
    EXPECT_EQ(info.userid, 12);
    EXPECT_STREQ(info.authid, "BOT");
    EXPECT_STREQ(info.team, "");
}

TEST(PlayerToken, BracketsInsideTheName) {
    udplogs::PlayerInfo_t info = ParsePlayerInfo("\"a<b<2><ID><T>\"");
    EXPECT_STREQ(info.name, "a");
    EXPECT_EQ(info.userid, 0);

    info = ParsePlayerInfo("\"Na>me<2><A><B>\"");
    EXPECT_STREQ(info.name, "Na");
    EXPECT_EQ(info.userid, 2);
    EXPECT_STREQ(info.authid, "A");
    EXPECT_STREQ(info.team, "B");
}

TEST(PlayerToken, MissingAndOversizedFields) {
    udplogs::PlayerInfo_t info = ParsePlayerInfo("plain");
    EXPECT_STREQ(info.name, "plain");
    EXPECT_EQ(info.userid, 0);
    EXPECT_STREQ(info.authid, "");

    info = ParsePlayerInfo("<5><X><Y>");
    EXPECT_STREQ(info.name, "");
    EXPECT_EQ(info.userid, 5);

    info =
        ParsePlayerInfo(("\"" + std::string(100, 'n') + "<99999999999><" + std::string(100, 'a') + "><T>\"").c_str());
    EXPECT_EQ(std::string(info.name), std::string(32, 'n'));
    EXPECT_EQ(info.userid, 2147483647);
    EXPECT_EQ(std::string(info.authid), std::string(38, 'a'));
}
