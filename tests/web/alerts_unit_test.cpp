// The alerts' parts on their own: the pattern matcher (its language and its linear time), the
// file's bounds, and the rules with a clock the test drives.
#include <gtest/gtest.h>

#include <chrono>

#include "web/alerts/alert_rules.h"
#include "web/alerts/alerts_config.h"

namespace {

web::AlertPattern pattern(const std::string &text) {
    web::AlertPattern compiled;
    std::string error;
    EXPECT_TRUE(compiled.compile(text, &error)) << text << ": " << error;
    return compiled;
}

}  // namespace

TEST(AlertPattern, TheDefaultAdminCallAndItsLanguage) {
    const web::AlertPattern admin = pattern("^[!@]admin\\b");
    for (const char *yes : {"!admin help", "@ADMIN", "!Admin, a cheater", "!admin"})
        EXPECT_TRUE(admin.matches(yes)) << yes;
    for (const char *no : {"!administrator", "say !admin", "admin help", "", "!admi"})
        EXPECT_FALSE(admin.matches(no)) << no;

    EXPECT_TRUE(pattern("c[a-c]+t$").matches("a CAT"));
    EXPECT_TRUE(pattern("c[a-c]+t$").matches("cabbat"));
    EXPECT_FALSE(pattern("c[a-c]+t$").matches("ct"));
    EXPECT_TRUE(pattern("hack|cheat").matches("he is CHEATING"));
    EXPECT_TRUE(pattern("^\\d+ ?ms$").matches("300ms"));
    EXPECT_FALSE(pattern("^\\d+ ?ms$").matches("x300 ms"));
    EXPECT_TRUE(pattern("[^a-z]x").matches("1x"));
    EXPECT_FALSE(pattern("[^a-z]x").matches("ax"));
    EXPECT_TRUE(pattern("a\\.b").matches("a.b"));
    EXPECT_FALSE(pattern("a\\.b").matches("axb"));

    std::string error;
    web::AlertPattern refused;
    for (const char *bad : {"(a+)+b", "a{2,}", "[abc", "*a", "a**", "[z-a]"})
        EXPECT_FALSE(refused.compile(bad, &error)) << bad;
    EXPECT_FALSE(refused.compile(std::string(web::AlertPattern::kLongest + 1, 'a'), &error));
}

// What stalls a backtracking matcher for ages takes no time here: every position is tracked at once.
TEST(AlertPattern, HostilePatternsTakeLinearTime) {
    std::string many_quantifiers;
    for (int i = 0; i < 60; ++i)
        many_quantifiers += "a*";
    const web::AlertPattern hostile = pattern(many_quantifiers + "b|a+a+a+a+a+a+a+a+c");
    const std::string text(web::AlertRules::kLongestMessage, 'a');
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 20; ++round)
        EXPECT_FALSE(hostile.matches(text));
    // A bound no loaded machine reaches for 20 linear passes, and that any exponential one breaks.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(AlertsConfig, TheIssuesExampleAndItsBounds) {
    const std::string example =
        R"({"webhooks":[{"name":"ops","url":"https://hooks.example.org:8443/a/b?x=1","format":"chat"}],
            "rules":[{"kind":"chat","webhook":"ops"},
                     {"kind":"down","seconds":60,"webhook":"ops","cooldown":10,"servers":["alpha"]},
                     {"kind":"players","below":2,"webhook":"ops"},
                     {"kind":"loss","above":10,"seconds":120,"webhook":"ops"},
                     {"kind":"ping","above":250,"seconds":120,"webhook":"ops"}],
            "cooldown":300})";
    web::AlertsConfig config;
    std::string error;
    ASSERT_TRUE(web::parse_alerts_config(example, &config, &error)) << error;
    ASSERT_EQ(config.rules.size(), 5u);
    EXPECT_EQ(config.webhooks[0].url.host, "hooks.example.org");
    EXPECT_EQ(config.webhooks[0].url.port, 8443);
    EXPECT_EQ(config.webhooks[0].url.target, "/a/b?x=1");
    EXPECT_EQ(config.webhooks[0].format, web::Webhook::Format::chat);
    EXPECT_TRUE(config.rules[0].pattern.matches("!admin help"));  // the default pattern
    EXPECT_EQ(config.rules[0].cooldown, 300);
    EXPECT_EQ(config.rules[1].cooldown, 10);
    EXPECT_TRUE(config.rules[1].covers("alpha"));
    EXPECT_FALSE(config.rules[1].covers("beta"));

    const std::string hook = R"({"name":"ops","url":"https://h/"})";
    for (const std::string &bad :
         {std::string("[]"), std::string(R"({"webhooks":[],"rules":[{"kind":"chat","webhook":"ops"}]})"),
          R"({"webhooks":[)" + hook + R"(],"rules":[{"kind":"nope","webhook":"ops"}]})",
          R"({"webhooks":[)" + hook + R"(],"rules":[{"kind":"players","webhook":"ops"}]})",
          R"({"webhooks":[)" + hook + R"x(],"rules":[{"kind":"chat","pattern":"(a)","webhook":"ops"}]})x",
          R"({"webhooks":[)" + hook + R"(],"rules":[{"kind":"down","seconds":-1,"webhook":"ops"}]})",
          std::string(R"({"webhooks":[{"name":"ops","url":"ftp://h/"}],"rules":[]})"),
          std::string(R"({"webhooks":[{"name":"ops","url":"https://user:pw@h/"}],"rules":[]})"),
          std::string(R"({"webhooks":[{"name":"ops","url":"https://h:99999/"}],"rules":[]})"),
          R"({"webhooks":[)" + hook + R"(],"rules":[], "pad":")" + std::string(70000, 'x') + "\"}"})
        EXPECT_FALSE(web::parse_alerts_config(bad, &config, &error)) << bad.substr(0, 200);
}

namespace {

struct Raised {
    std::vector<web::Alert> alerts;
    web::AlertRules rules{[this](const web::Alert &alert, const web::Webhook &) { alerts.push_back(alert); }};
    explicit Raised(const std::string &rules_json) {
        web::AlertsConfig config;
        std::string error;
        EXPECT_TRUE(web::parse_alerts_config(
            R"({"webhooks":[{"name":"ops","url":"http://127.0.0.1/"}],"rules":)" + rules_json + "}", &config, &error))
            << error;
        rules.configure(std::move(config));
    }
};

view::Player player(const std::string &name, int ping = 20, int loss = 0) {
    view::Player found;
    found.name = name;
    found.ping = ping;
    found.loss = loss;
    return found;
}

}  // namespace

TEST(AlertRules, ChatOncePerPlayerPerCooldown) {
    Raised raised(R"([{"kind":"chat","webhook":"ops","cooldown":60}])");
    const std::vector<view::Player> on = {player("Ann: the first"), player("Bob")};
    raised.rules.chat("alpha", "Ann: the first: !admin help", on, 100, 1);
    ASSERT_EQ(raised.alerts.size(), 1u);
    EXPECT_EQ(raised.alerts[0].player, "Ann: the first");  // the name on the server, ": " and all
    EXPECT_EQ(raised.alerts[0].text, "!admin help");
    EXPECT_EQ(raised.alerts[0].server, "alpha");
    raised.rules.chat("alpha", "Ann: the first: @admin again", on, 159, 1);
    raised.rules.chat("alpha", "(TEAM)Bob: !admin", on, 159, 1);  // another player: an alert of its own
    raised.rules.chat("beta", "Bob: !admin", on, 159, 1);         // another server: the same
    raised.rules.chat("alpha", "Bob: hello !admin", on, 159, 1);  // no call
    ASSERT_EQ(raised.alerts.size(), 3u);
    EXPECT_EQ(raised.alerts[1].player, "Bob");
    raised.rules.chat("alpha", "Ann: the first: !admin", on, 160, 1);  // the cooldown is over
    EXPECT_EQ(raised.alerts.size(), 4u);
}

TEST(AlertRules, FloodsOfNewNamesStayBounded) {
    Raised raised(R"([{"kind":"chat","webhook":"ops"}])");
    for (size_t i = 0; i < web::AlertRules::kMostCooldowns + 500; ++i)
        raised.rules.chat("alpha", "p" + std::to_string(i) + ": !admin", {}, 1, 1);
    EXPECT_EQ(raised.alerts.size(), web::AlertRules::kMostCooldowns);
}

TEST(AlertRules, DownThenUpAndBoundsHeldForAWhile) {
    Raised raised(R"([{"kind":"down","seconds":10,"webhook":"ops"},
                      {"kind":"players","below":2,"webhook":"ops"},
                      {"kind":"ping","above":250,"seconds":5,"webhook":"ops"}])");
    view::State state;
    state.have_players = true;
    state.players = {player("Ann", 300), player("Bob", 40)};
    bool ever_up = false;
    const auto tick = [&](bool connected, double now) {
        ever_up = ever_up || connected;
        raised.rules.tick({{"alpha", connected, ever_up, &state}}, now, 1);
    };
    tick(false, -100);  // down until first seen up: not alerted on
    tick(false, -50);
    EXPECT_TRUE(raised.alerts.empty());
    tick(true, 0);
    tick(true, 4);
    EXPECT_TRUE(raised.alerts.empty());
    tick(true, 5);  // Ann's ping has been above 250 for 5 s
    ASSERT_EQ(raised.alerts.size(), 1u);
    EXPECT_EQ(raised.alerts[0].kind, "ping");
    EXPECT_EQ(raised.alerts[0].player, "Ann");
    tick(true, 20);  // once per spell above the bound
    EXPECT_EQ(raised.alerts.size(), 1u);

    tick(false, 30);
    tick(false, 39);
    EXPECT_EQ(raised.alerts.size(), 1u);
    tick(false, 40);
    tick(false, 50);
    ASSERT_EQ(raised.alerts.size(), 2u);
    EXPECT_EQ(raised.alerts[1].kind, "down");
    state.players = {player("Ann")};
    tick(true, 60);
    ASSERT_EQ(raised.alerts.size(), 4u);
    EXPECT_EQ(raised.alerts[2].kind, "up");
    EXPECT_EQ(raised.alerts[3].kind, "players");  // one player, below 2
    tick(true, 61);
    EXPECT_EQ(raised.alerts.size(), 4u);
}
