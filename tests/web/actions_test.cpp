// Actions on their own: what a body becomes on the console, and every argument that must never
// reach it; the maps list, the per-user rate.
#include <gtest/gtest.h>

#include "client/sample_records.h"
#include "web/actions/action.h"
#include "web/actions/maps_list.h"
#include "web/actions/rate_limit.h"
#include "web/fold_helpers.h"

namespace {

using web::actions::Plan;

class Actions : public ::testing::Test {
protected:
    Actions() : fold({"dust", "10.0.0.1", 40015}, 3) {
        web_testing::fold_into(fold, samples::server("de_dust2"));
        web_testing::fold_into(fold,
                               samples::players({"Alice", "Bot Bob", "Lan Lee", "Local"},
                                                {{"USER_ID", "5", "6", "7", "8"},
                                                 {"STEAM_ID", "STEAM_0:1:5", "BOT", "STEAM_ID_LAN", "STEAM_0:0:9"},
                                                 {"IP", "10.0.0.5:27005", "127.0.0.1", "192.168.1.7", "127.0.0.1"}}));
    }
    Plan plan(const std::string &body) {
        return web::actions::plan_action(body, {&fold.state.view(), &web::actions::default_allowed_cvars()});
    }
    std::vector<std::string> lines(const std::string &body) {
        const Plan planned = plan(body);
        EXPECT_EQ(planned.error, "") << body;
        return planned.lines;
    }
    web::ServerFold fold;
};

using Lines = std::vector<std::string>;

TEST_F(Actions, EachActionIsTheConsoleLinesTheEngineTakes) {
    EXPECT_EQ(lines(R"({"action":"kick","user_id":5,"reason":"wall hack"})"), Lines{"kick #5 \"wall hack\""});
    EXPECT_EQ(lines(R"({"action":"kick","user_id":5})"), Lines{"kick #5"});
    EXPECT_EQ(lines(R"({"action":"ban","user_id":5,"minutes":30,"by":"auth_id"})"), Lines{"banid 30 STEAM_0:1:5 kick"});
    EXPECT_EQ(lines(R"({"action":"ban","user_id":5,"minutes":0})"), (Lines{"banid 0 STEAM_0:1:5 kick", "writeid"}));
    EXPECT_EQ(lines(R"({"action":"ban","user_id":5,"minutes":10,"by":"address"})"),
              (Lines{"addip 10 10.0.0.5", "kick #5 \"banned\""}));
    // An auth id many share is banned by address, unless the ask was for the auth id.
    EXPECT_EQ(lines(R"({"action":"ban","user_id":7,"minutes":0})"),
              (Lines{"addip 0 192.168.1.7", "kick #7 \"banned\"", "writeip"}));
    EXPECT_EQ(lines(R"({"action":"say","text":"round \"two\" soon"})"), Lines{"say round \"two\" soon"});
    EXPECT_EQ(lines(R"({"action":"changelevel","map":"de_dust-2.v1"})"), Lines{"changelevel de_dust-2.v1"});
    EXPECT_EQ(lines(R"({"action":"restart"})"), Lines{"sv_restart 1"});
    EXPECT_EQ(lines(R"({"action":"set","name":"mp_timelimit","value":"30"})"), Lines{"mp_timelimit \"30\""});

    const Plan kick = plan(R"({"action":"kick","user_id":5,"reason":"x"})");
    EXPECT_TRUE(kick.has_target);
    EXPECT_EQ(kick.target.name, "Alice");
    EXPECT_EQ(kick.target.auth_id, "STEAM_0:1:5");
    // The join password set through an action is no part of what is audited.
    const Plan password = plan(R"({"action":"set","name":"sv_password","value":"letmein"})");
    EXPECT_EQ(password.lines, Lines{"sv_password \"letmein\""});
    EXPECT_EQ(password.arguments.at("value").as_string(), "(hidden)");
}

TEST_F(Actions, ArgumentsThatWouldChangeTheCommandAreRefusedNotCleaned) {
    const std::pair<std::string, std::string> refused[] = {
        {R"({"action":"kick","user_id":5,"reason":"bye; quit"})", "the reason holds a ';'"},
        {R"({"action":"kick","user_id":5,"reason":"bye\nquit"})", "the reason holds a line end"},
        {R"({"action":"kick","user_id":5,"reason":"bye\rquit"})", "the reason holds a line end"},
        {R"({"action":"kick","user_id":5,"reason":"bye\u0000quit"})", "the reason holds a NUL byte"},
        {R"({"action":"kick","user_id":5,"reason":"bye\" ; quit"})", "the reason holds a ';'"},
        {R"({"action":"kick","user_id":5,"reason":"say \"hi\""})", "the reason holds a double quote"},
        {R"({"action":"kick","user_id":5,"reason":"\u0007"})", "the reason holds a control character"},
        {R"({"action":"say","text":"an \"unbalanced quote"})", "the text holds an unbalanced double quote"},
        {R"({"action":"say","text":""})", "text must not be empty"},
        {R"({"action":"kick","user_id":"5"})", "user_id must be a whole number from 1"},
        {R"({"action":"kick","user_id":5.5})", "user_id must be a whole number from 1"},
        {R"({"action":"kick","user_id":-5})", "user_id must be a whole number from 1"},
        {R"({"action":"kick","user_id":99999999999})", "user_id must be a whole number from 1"},
        {R"({"action":"kick","user_id":42})", "no player with user id 42 is on the server"},
        {R"({"action":"ban","user_id":5,"minutes":-1})", "minutes must be a whole number"},
        {R"({"action":"ban","user_id":5,"minutes":1,"by":"name"})", "by must be"},
        {R"({"action":"ban","user_id":6,"minutes":1,"by":"auth_id"})", "the player's auth id \"BOT\" is shared"},
        {R"({"action":"ban","user_id":6,"minutes":1})", "the player comes from 127.0.0.1"},
        {R"({"action":"changelevel","map":"de_dust;quit"})", "a map name is"},
        {R"({"action":"changelevel","map":"../x"})", "a map name is"},
        {R"({"action":"changelevel","map":""})", "a map name is"},
        {R"({"action":"set","name":"rcon_password","value":"x"})", "the console variable \"rcon_password\" is not"},
        {R"({"action":"set","name":"mp_timelimit","value":"3\"0"})", "the value holds a double quote"},
        {R"({"action":"reboot"})", "unknown action"},
        {R"({"user_id":5})", "\"action\" must be given"},
        {R"(["kick"])", "the body must be a JSON object"},
        {"{\"action\":\"kick\"", "the body must be a JSON object"},
    };
    for (const auto &[body, expected] : refused) {
        const Plan planned = plan(body);
        EXPECT_TRUE(planned.lines.empty()) << body;
        EXPECT_EQ(planned.error.substr(0, expected.size()), expected) << body;
    }
    EXPECT_TRUE(plan(R"({"action":"kick","user_id":42})").missing_player);
}

TEST_F(Actions, RestartOnlyWhereTheGameHasIt) {
    web_testing::fold_into(fold, "TYPE\tSERVER\nGAME_DIR\tvalve\nMAP_NAME\tcrossfire\n\n");
    EXPECT_EQ(plan(R"({"action":"restart"})").error, "this server's game (valve) has no round restart");
}

TEST(MapsList, NamesFromTheConsolesAnswer) {
    const std::string answer =
        "-------------\nde_dust2.bsp\ncs_office.bsp\nmaps/de_aztec.bsp\nbad;name.bsp\n"
        "de_dust2.bsp\nreadme.txt\n-------------\n";
    EXPECT_EQ(web::actions::maps_in_answer(answer), (std::vector<std::string>{"cs_office", "de_aztec", "de_dust2"}));
    EXPECT_TRUE(web::actions::maps_in_answer("").empty());
}

TEST(RateLimit, ThirtyAMinutePerUser) {
    web::actions::RateLimit rate;
    const auto start = web::actions::RateLimit::Clock::now();
    for (size_t at = 0; at < web::actions::RateLimit::kPerMinute; ++at)
        EXPECT_TRUE(rate.take("alice", start + std::chrono::seconds(at)));
    EXPECT_FALSE(rate.take("alice", start + std::chrono::seconds(59)));
    EXPECT_TRUE(rate.take("bob", start + std::chrono::seconds(59)));
    EXPECT_TRUE(rate.take("alice", start + std::chrono::seconds(60)));  // the first has left the minute
    EXPECT_FALSE(rate.take("alice", start + std::chrono::seconds(60)));
}

}  // namespace
