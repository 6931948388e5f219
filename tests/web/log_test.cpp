// The server's log in the gateway: lines read into events, secrets scrubbed, datagrams framed, and
// the round panel and tallies that follow the events.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "stream/records.h"
#include "web/log/event_json.h"
#include "web/log/event_log.h"
#include "web/log/log_datagram.h"
#include "web/log/log_line.h"
#include "web/log/log_secrets.h"
#include "web/log/server_say_scrub.h"

namespace {

using web::log::Kind;
using web::log::LogEvent;

const std::string kStamp = "L 09/25/2024 - 21:20:31: ";

LogEvent read(const std::string &body) {
    LogEvent event;
    EXPECT_TRUE(web::log::parse_log_line(kStamp + body, &event)) << body;
    return event;
}

TEST(LogLine, KillsSuicidesAndTeamKillsFromTheTeams) {
    LogEvent kill = read(R"("Bob<13><STEAM_0:0:777><CT>" killed "Ivan<14><BOT><TERRORIST>" with "m4a1")");
    EXPECT_EQ(kill.kind, Kind::kill);
    EXPECT_EQ(kill.time, "2024-09-25T21:20:31");
    EXPECT_EQ(kill.killer.name, "Bob");
    EXPECT_EQ(kill.killer.user_id, 13);
    EXPECT_EQ(kill.killer.auth_id, "STEAM_0:0:777");
    EXPECT_EQ(kill.victim.team, "TERRORIST");
    EXPECT_EQ(kill.victim.auth_id, "BOT");
    EXPECT_EQ(kill.weapon, "m4a1");
    EXPECT_EQ(kill.headshot, -1) << "cstrike writes no headshot marker: absent, not false";
    EXPECT_FALSE(kill.team_kill);

    LogEvent team_kill = read(R"("A<1><STEAM_0:0:1><CT>" killed "B<2><STEAM_0:0:2><CT>" with "knife" (headshot))");
    EXPECT_TRUE(team_kill.team_kill);
    EXPECT_EQ(team_kill.headshot, 1);

    // valve deathmatch: the team field is the user id, so nobody is a teammate.
    LogEvent deathmatch =
        read(R"("Gordon<3><STEAM_0:0:12345><3>" killed "Barney<4><STEAM_0:1:999><4>" with "gluon gun")");
    EXPECT_FALSE(deathmatch.team_kill);
    EXPECT_EQ(deathmatch.weapon, "gluon gun");

    LogEvent suicide = read(R"("Alice<12><STEAM_0:1:4242><TERRORIST>" committed suicide with "worldspawn" (world))");
    EXPECT_EQ(suicide.kind, Kind::suicide);
    EXPECT_EQ(suicide.player.name, "Alice");
    EXPECT_EQ(suicide.weapon, "worldspawn");
}

TEST(LogLine, NamesWithQuotesAndBracketsReadFromTheRight) {
    LogEvent kill = read(R"("<<x>>" killed "<1><2><3>" "V<7><BOT><CT>" killed "W<8><><TERRORIST>" with "ak47")");
    // The first token that reads as a player before " killed ": the odd bot name holds no groups then.
    EXPECT_EQ(kill.kind, Kind::other);

    LogEvent odd = read(R"("a "quoted" <b>name<5><BOT><CT>" killed "(1)unnamed<6><><>" with "grenade")");
    EXPECT_EQ(odd.kind, Kind::kill);
    EXPECT_EQ(odd.killer.name, R"(a "quoted" <b>name)");
    EXPECT_EQ(odd.victim.name, "(1)unnamed");
    EXPECT_EQ(odd.victim.auth_id, "");
    EXPECT_EQ(odd.victim.team, "");
    EXPECT_FALSE(odd.team_kill) << "an empty team is nobody's team";

    LogEvent gone = read(R"("Eve<-1><><CT>" disconnected)");
    EXPECT_EQ(gone.kind, Kind::disconnect);
    EXPECT_EQ(gone.player.user_id, -1);
}

TEST(LogLine, PresenceChatAndObjectives) {
    struct Case {
        std::string body;
        Kind kind;
        std::string field;  // text, team or event, as the kind has it
    };
    const std::vector<Case> cases = {
        {R"("Alice<12><STEAM_0:1:4242><>" connected, address "203.0.113.5:27005")", Kind::connect, ""},
        {R"("Alice<12><STEAM_0:1:4242><>" entered the game)", Kind::enter, ""},
        {R"("Ivan<14><BOT><CT>" joined team "TERRORIST" (auto))", Kind::team, "TERRORIST"},
        {R"("Al<12><STEAM_0:1:4242><CT>" changed name to "Al "the" pal")", Kind::name, R"(Al "the" pal)"},
        {R"("Bob<13><STEAM_0:0:777><CT>" say "nice "plant" lol" (dead))", Kind::chat, R"(nice "plant" lol)"},
        {R"("Bob<13><STEAM_0:0:777><CT>" say_team "rush  b")", Kind::chat, "rush  b"},
        {R"(Server say "map change in 5 minutes")", Kind::chat, "map change in 5 minutes"},
        {R"("Alice<12><STEAM_0:1:4242><TERRORIST>" triggered "Planted_The_Bomb")", Kind::objective, "Planted_The_Bomb"},
        {R"(Team "Red" triggered "structure_destroyed" (type "team_hive"))", Kind::objective, "structure_destroyed"},
        {R"(World triggered "Round_Start")", Kind::round_start, ""},
        {R"(World triggered "Round_End")", Kind::round_end, ""},
        {R"(World triggered "Game_Commencing")", Kind::game_commencing, ""},
        {R"x(World triggered "Restart_Round_(1_second)")x", Kind::restart, ""},
        {R"(Team "TERRORIST" triggered "Target_Bombed" (CT "3") (T "5"))", Kind::team_win, "Target_Bombed"},
        {R"(Started map "de_dust2" (CRC "-1159425449"))", Kind::map, ""},
        {R"([META] INFO: loaded)", Kind::other, "[META] INFO: loaded"},
        {R"("Bob<13><STEAM_0:0:777><CT>" attacked "Ivan<14><BOT><TERRORIST>" with "m4a1" (damage "33"))", Kind::other,
         ""},
        {R"("cut short<13><STEAM_0:0:777><CT>" killed "Ivan<14><BOT><TERR)", Kind::other, ""},
    };
    for (const Case &c : cases) {
        const LogEvent event = read(c.body);
        EXPECT_EQ(event.kind, c.kind) << c.body;
        if (c.field.empty())
            continue;
        const std::string &field = c.kind == Kind::team                                    ? event.team
                                   : c.kind == Kind::objective || c.kind == Kind::team_win ? event.event
                                                                                           : event.text;
        EXPECT_EQ(field, c.field) << c.body;
    }
    const LogEvent win = read(R"(Team "TERRORIST" triggered "Target_Bombed" (CT "3") (T "5"))");
    ASSERT_EQ(win.scores.size(), 2u);
    EXPECT_EQ(win.scores[1], std::make_pair(std::string("TERRORIST"), 5));
    EXPECT_EQ(read(R"(Started map "de_dust2" (CRC "-1159425449"))").map, "de_dust2");
    EXPECT_EQ(read(R"("Bob<13><STEAM_0:0:777><CT>" say_team "x")").event, "say_team");
}

TEST(LogLine, TheLongestLineAndNoStamp) {
    const std::string name(31, 'n');
    const std::string text(998 - 60, 'x');
    const LogEvent chat = read("\"" + name + "<99><STEAM_0:1:123456789><TERRORIST>\" say \"" + text + "\"");
    EXPECT_EQ(chat.kind, Kind::chat);
    EXPECT_EQ(chat.text.size(), text.size());
    LogEvent event;
    EXPECT_FALSE(web::log::parse_log_line("L 09/25/2024 - 21:20: short", &event));
    EXPECT_FALSE(web::log::parse_log_line("", &event));
}

// Random passwords and commands: the password never survives, in any form of line that carries it.
TEST(LogSecrets, NoPasswordEverSurvives) {
    std::mt19937 random(27);
    const std::string alphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 !#$%&'()*+,-./:;<=>?@[]^_{|}~";
    for (int trial = 0; trial < 2000; ++trial) {
        std::string password;
        const size_t length = 8 + random() % 24;
        for (size_t i = 0; i < length; ++i)
            password += alphabet[random() % alphabet.size()];
        const std::string lines[] = {
            kStamp + "Rcon: \"rcon 2077436521 \"" + password + "\" say map change\" from \"198.51.100.9:50112\"",
            kStamp + "Bad Rcon: \"rcon 1 \"" + password + "\" status\n\" from \"198.51.100.9:50112\"",
            kStamp + "Rcon: \"rcon 1 \"old\" rcon_password " + password + "\" from \"198.51.100.9:1\"",
            kStamp + "Rcon: \"rcon 1 \"" + password + "\" echo a\necho b\" from \"198.51.100.9:1\"",
            kStamp + "Rcon: \"rcon 1 \"" + password + "\" cut short by the engine",
            kStamp + "Server cvar \"sv_password\" = \"" + password + "\"",
            kStamp + "Server cvar \"RCON_PASSWORD\" = \"" + password + "\"",
            kStamp + "Server cvar \"sv_password\" = \"" + password,
        };
        for (const std::string &line : lines) {
            const std::string scrubbed = web::log::scrub_log_secrets(line);
            ASSERT_EQ(scrubbed.find(password), std::string::npos) << line << " -> " << scrubbed;
            LogEvent event;
            ASSERT_TRUE(web::log::parse_log_line(scrubbed, &event));
            web::log::EventLog log;
            log.take(event);
            ASSERT_EQ(web::log::events_text(log, 0).find(password), std::string::npos);
        }
    }
    EXPECT_EQ(web::log::scrub_log_secrets(kStamp + R"(Rcon: "rcon 9 "pw" say hi" from "1.2.3.4:5")"),
              kStamp + R"(Rcon: "say hi")");
    EXPECT_EQ(web::log::scrub_log_secrets(R"(Server cvar "sv_password" = "x")"), R"(Server cvar "sv_password")");
    EXPECT_EQ(web::log::scrub_log_secrets(R"(Server cvar "mp_freezetime" = "6")"),
              R"(Server cvar "mp_freezetime" = "6")");
}

TEST(LogSecrets, ServerSayRecordsAreScrubbedInFieldsAndText) {
    records::Record record;
    const std::string text = "TYPE\tSERVER_SAY\nCHAT\tRcon: \"rcon 1 \"hunter22\" say x\" from \"1.2.3.4:5\"\n\n";
    ASSERT_TRUE(records::parse_record(text, &record));
    EXPECT_TRUE(web::log::scrub_server_say(&record));
    EXPECT_EQ(record.value("CHAT"), "Rcon: \"say x\"");
    EXPECT_EQ(record.text.find("hunter22"), std::string::npos);
}

TEST(LogDatagram, FramingPlainSecretAndRefused) {
    std::string text;
    const std::string line = "L 09/25/2024 - 21:14:03: World triggered \"Round_Start\"\n";
    const std::string plain = std::string("\xFF\xFF\xFF\xFFlog ") + line + std::string(1, '\0');
    ASSERT_TRUE(web::log::log_datagram_text(plain.data(), plain.size(), &text));
    EXPECT_EQ(text, line.substr(0, line.size() - 1));
    const std::string secret = std::string("\xFF\xFF\xFF\xFFS12345") + line + std::string(1, '\0');
    ASSERT_TRUE(web::log::log_datagram_text(secret.data(), secret.size(), &text));
    EXPECT_EQ(text, line.substr(0, line.size() - 1));
    for (const std::string &bad : {std::string("\xFF\xFF\xFF\xFFlog hello"), std::string("log ") + line,
                                   std::string("\xFF\xFF\xFF\xFFlog L 0") + std::string(1, '\0') + "x",
                                   std::string("\xFF\xFF\xFF\xFFlog ") + line + std::string(2000, 'x')})
        EXPECT_FALSE(web::log::log_datagram_text(bad.data(), bad.size(), &text)) << bad;
}

// The round panel and tallies follow what the lines say, across a map change.
TEST(EventLog, RoundsResultsTalliesAndSeq) {
    web::log::EventLog log;
    const std::string stamp = "L 09/25/2024 - 21:20:";
    const auto take = [&](int second, const std::string &body) {
        ASSERT_TRUE(log.take_text(stamp + (second < 10 ? "0" : "") + std::to_string(second) + ": " + body));
    };
    take(0, R"(Started map "de_dust2" (CRC "1"))");
    take(1, R"(World triggered "Round_Start")");
    take(5, R"("A<1><BOT><CT>" killed "B<2><BOT><TERRORIST>" with "m4a1")");
    take(6, R"("A<1><BOT><CT>" killed "C<3><BOT><CT>" with "m4a1" (headshot))");
    take(9, R"("B<2><BOT><TERRORIST>" committed suicide with "world")");
    EXPECT_EQ(log.round(), 1);
    EXPECT_TRUE(log.in_round());
    EXPECT_EQ(log.round_seconds(), 8);
    take(10, R"(Team "CT" triggered "CTs_Win" (CT "1") (T "0"))");
    take(10, R"(World triggered "Round_End")");
    EXPECT_FALSE(log.in_round());
    ASSERT_EQ(log.results().size(), 1u);
    EXPECT_EQ(log.results()[0].team, "CT");
    const web::log::PlayerTally &a = log.tallies().at(1);
    EXPECT_EQ(a.kills, 1);
    EXPECT_EQ(a.team_kills, 1);
    EXPECT_EQ(a.headshots, 1);
    EXPECT_EQ(log.tallies().at(2).deaths, 2);
    EXPECT_EQ(log.since(5).size(), 2u);
    EXPECT_EQ(log.since(5).front()->seq, 6u);
    take(20, R"(Started map "de_nuke" (CRC "2"))");
    EXPECT_EQ(log.round(), 0);
    EXPECT_TRUE(log.results().empty());
    EXPECT_TRUE(log.tallies().empty());
    for (int i = 0; i < 1500; ++i)
        take(30, "[META] noise");
    EXPECT_EQ(log.events().size(), web::log::EventLog::kLongestKept);
    EXPECT_EQ(log.events().back().seq, 1508u);
}

}  // namespace
