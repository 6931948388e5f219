// The gateway's parts on their own: state to JSON, servers to watch, options, backoff, access.
#include <gtest/gtest.h>

#include <fstream>

#include "client/sample_records.h"
#include "web/access.h"
#include "web/backoff.h"
#include "web/config.h"
#include "web/config_watcher.h"
#include "web/fold_helpers.h"
#include "web/options.h"
#include "web/state_json.h"
#include "web/static_files.h"

namespace {

web::ServerFold folded(const std::string &stream) {
    web::ServerFold state({"dust", "10.0.0.1", 40015}, 3);
    web_testing::fold_into(state, stream);
    return state;
}

const std::string kBomb = samples::table("BOMB", {{"BOMB_NUM", "0"},
                                                  {"X_COORD", "-576.600000"},
                                                  {"Y_COORD", "-929.050000"},
                                                  {"Z_COORD", "-115.030000"},
                                                  {"PLANTED", "1"}});

}  // namespace

TEST(StateJson, RendersAKnownStateExactly) {
    web::ServerFold state =
        folded(samples::server() +
               samples::players({"Ann", "Bo\"b"}, {{"TEAM", "0", "1"},
                                                   {"KILLS", "3.000000", "-1.000000"},
                                                   {"HEALTH", "0.500000", "0.000000"},
                                                   {"ARMOR", "0.760000", "0.000000"},
                                                   {"USER_ID", "5", "9"},
                                                   {"X_COORD", "-900.400000", "12.600000"},
                                                   {"DEAD", "0", "1"}}) +
               kBomb + samples::flags(0) + samples::say("Ann: hi") + samples::say_team("Bo\"b: go") +
               samples::server_say("restart") + samples::say("Ann: bye") + "garbage\n\n");
    state.state.connected = true;
    for (view::ChatLine &line : state.state.view().chat)
        line.at_ms = 1000;  // they arrived now
    EXPECT_EQ(web::detail_text(state),
              "{\"name\":\"dust\",\"address\":\"10.0.0.1:40015\",\"connected\":true,\"stale\":false,\"problem\":\"\","
              "\"records\":8,"
              "\"malformed\":1,\"reconnects\":0,"
              "\"server\":{\"game\":\"cstrike\",\"map\":\"de_dust2\",\"host_name\":\"Friday night\",\"max_players\":32,"
              "\"uptime\":3725,\"time_left\":755,\"world\":{\"x\":4000,\"y\":1000},"
              "\"teams\":[{\"name\":\"TERRORIST\",\"score\":3},{\"name\":\"CT\",\"score\":5}]},"
              "\"players\":["
              "{\"user_id\":5,\"name\":\"Ann\",\"team\":0,\"frags\":3,\"deaths\":0,\"health\":50,\"armor\":76,"
              "\"ping\":25,\"loss\":0,\"time\":60,\"x\":-900,\"y\":0,\"z\":0,\"dead\":false},"
              "{\"user_id\":9,\"name\":\"Bo\\\"b\",\"team\":1,\"frags\":-1,\"deaths\":0,\"health\":0,\"armor\":0,"
              "\"ping\":25,\"loss\":0,\"time\":60,\"x\":13,\"y\":0,\"z\":0,\"dead\":true}],"
              "\"objectives\":[{\"kind\":\"FLAG\",\"items\":[]},"
              "{\"kind\":\"BOMB\",\"items\":[{\"num\":0,\"x\":-577,\"y\":-929,\"z\":-115,\"planted\":1}]}],"
              "\"chat\":[{\"kind\":\"SAY_TEAM\",\"text\":\"(TEAM)Bo\\\"b: go\",\"time_ms\":1000},"
              "{\"kind\":\"SERVER_SAY\",\"text\":\"restart\",\"time_ms\":1000},"
              "{\"kind\":\"SAY\",\"text\":\"Ann: bye\",\"time_ms\":1000}],"
              "\"log\":{\"received\":false,\"round\":{\"number\":0,\"in_round\":false,\"started\":\"\",\"seconds\":0},"
              "\"results\":[],\"players\":{},\"events\":[]},"
              "\"over_limits\":false,\"records_over_limits\":0}");
    EXPECT_EQ(web::servers_text({&state}),
              "{\"servers\":[{\"name\":\"dust\",\"address\":\"10.0.0.1:40015\",\"connected\":true,\"stale\":false,"
              "\"problem\":\"\","
              "\"host_name\":\"Friday night\",\"game\":\"cstrike\",\"map\":\"de_dust2\",\"players\":2,"
              "\"max_players\":32,\"time_left\":755,\"over_limits\":false,\"records_over_limits\":0}]}");
}

// A chat line keeps when it arrived (a replay's recorded time); a hostage's health is out of 100,
// a building's a ratio.
TEST(StateJson, ChatTimesAndObjectiveHealth) {
    web::ServerFold state = folded(samples::server());
    const auto record = [](const std::string &text) {
        records::Record parsed;
        records::parse_record(text, &parsed);
        return parsed;
    };
    state.take_at(record(samples::say("Ann: hi")), 1700000000123);
    state.take(record(samples::table("HOSTAGE", {{"HOSTAGE_NUM", "0"}, {"HEALTH", "65.000000"}})));
    state.take(record(samples::table("SENTRY", {{"SG_NUM", "0"}, {"SG_HEALTH", "0.650000"}})));
    const std::string text = web::detail_text(state);
    EXPECT_NE(text.find("{\"kind\":\"SAY\",\"text\":\"Ann: hi\",\"time_ms\":1700000000123}"), std::string::npos)
        << text;
    EXPECT_NE(text.find("{\"kind\":\"HOSTAGE\",\"items\":[{\"num\":0,\"health\":65}]}"), std::string::npos) << text;
    EXPECT_NE(text.find("{\"kind\":\"SENTRY\",\"items\":[{\"num\":0,\"health\":65}]}"), std::string::npos) << text;
}

TEST(StateJson, BeforeAnyRecordAndWithoutATimeLimit) {
    web::ServerFold empty = folded("");
    empty.state.problem = "Connection refused";
    EXPECT_EQ(web::servers_text({&empty}),
              "{\"servers\":[{\"name\":\"dust\",\"address\":\"10.0.0.1:40015\",\"connected\":false,"
              "\"stale\":false,\"problem\":\"Connection "
              "refused\",\"host_name\":\"\",\"game\":\"\",\"map\":\"\",\"players\":0,"
              "\"max_players\":0,\"time_left\":null,\"over_limits\":false,\"records_over_limits\":0}]}");
    EXPECT_NE(web::detail_text(empty).find("\"server\":null,\"players\":[],\"objectives\":[],\"chat\":[]"),
              std::string::npos);
    std::string unlimited = samples::server();
    unlimited.replace(unlimited.find("754.500000"), 10, "-300.000000");
    EXPECT_NE(web::detail_text(folded(unlimited)).find("\"time_left\":null"), std::string::npos);
}

TEST(StateJson, ObjectiveFieldsLoseTheirKindsPrefixAndHealthIsAPercentage) {
    const std::string sentries = samples::table("SENTRY", {{"SG_NUM", "0", "1"},
                                                           {"SG_ANGLE", "90.000000", "180.000000"},
                                                           {"SG_TEAM", "1", "2"},
                                                           {"SG_X_COORD", "1.000000", "2.000000"},
                                                           {"SG_LEVEL", "models/sentry2.mdl", ""},
                                                           {"SG_HEALTH", "0.250000", "1.000000"}});
    EXPECT_NE(web::detail_text(folded(samples::server() + sentries))
                  .find("{\"kind\":\"SENTRY\",\"items\":[{\"num\":0,\"angle\":90,\"team\":1,\"x\":1,"
                        "\"level\":\"models/sentry2.mdl\",\"health\":25},{\"num\":1,\"angle\":180,\"team\":2,\"x\":2,"
                        "\"level\":\"\",\"health\":100}]}"),
              std::string::npos);
}

TEST(StateJson, GameTextThatIsNotUtf8ComesOutValid) {
    // Latin-1 names, a cut sequence, an overlong form and a surrogate: each bad byte is U+FFFD.
    const std::string stream = samples::players({"Jos\xe9", "ok \xc3\xa9", "\xe2\x82", "\xc0\xaf", "\xed\xa0\x80"}) +
                               samples::server_say("caf\xe9 \xf0\x9f\x99\x82");
    const std::string text = web::detail_text(folded(stream));
    EXPECT_NE(text.find("\"name\":\"Jos\xef\xbf\xbd\""), std::string::npos);
    EXPECT_NE(text.find("\"name\":\"ok \xc3\xa9\""), std::string::npos);
    EXPECT_NE(text.find("\"name\":\"\xef\xbf\xbd\xef\xbf\xbd\""), std::string::npos);
    EXPECT_NE(text.find("\"name\":\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""), std::string::npos);
    EXPECT_NE(text.find("\"text\":\"caf\xef\xbf\xbd \xf0\x9f\x99\x82\""), std::string::npos);
}

TEST(RecordPipeline, ANewConnectionDropsTheCutRecordButKeepsTheStateAndCounts) {
    web::ServerFold state({"a", "h", 1}, 10);
    web::RecordPipeline pipeline;
    pipeline.subscribe(&state);
    bool broken = false;
    const auto now = web::RecordPipeline::Clock::now();
    const std::string stream = samples::server() + "not a record\n\n" + samples::say("x");
    pipeline.feed(stream.data(), stream.size() - 3, now, &broken);
    EXPECT_EQ(state.counters.records, 1u);
    EXPECT_GT(pipeline.pending(), 0u);
    pipeline.new_connection();
    EXPECT_EQ(pipeline.pending(), 0u);
    EXPECT_EQ(state.counters.malformed, 1u);
    const std::string next = samples::say("y");
    pipeline.feed(next.data(), next.size(), now, &broken);
    ASSERT_EQ(state.state.view().chat.size(), 1u);
    EXPECT_EQ(state.state.view().chat.front().text, "y");
    EXPECT_EQ(state.state.view().server.map, "de_dust2");
    EXPECT_EQ(state.counters.malformed, 1u);
    EXPECT_FALSE(broken);
}

TEST(Config, ReadsNamesAndAddressesSkippingCommentsAndBlankLines) {
    std::vector<web::ServerAddress> servers;
    std::string error;
    ASSERT_TRUE(
        web::parse_config("# ours\n\nalpha 127.0.0.1:40015\n  beta-2   game.example.org:27015  \r\n", &servers, &error))
        << error;
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0], (web::ServerAddress{"alpha", "127.0.0.1", 40015}));
    EXPECT_EQ(servers[1], (web::ServerAddress{"beta-2", "game.example.org", 27015}));
}

TEST(Config, ReadsEachServersSettingsAfterItsAddress) {
    std::vector<web::ServerAddress> servers;
    std::string error;
    ASSERT_TRUE(
        web::parse_config("a 1.2.3.4:5 rcon=1.2.3.4:27015 rcon-password-file=/etc/a.pw\n"
                          "b 1.2.3.4:6 game-dir=/srv/cstrike log=10.0.0.1:27015\n",
                          &servers, &error))
        << error;
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].setting("rcon"), "1.2.3.4:27015");
    EXPECT_EQ(servers[0].setting("rcon-password-file"), "/etc/a.pw");
    EXPECT_EQ(servers[0].setting("game-dir"), "");
    EXPECT_EQ(servers[1].setting("game-dir"), "/srv/cstrike");
    EXPECT_EQ(servers[1].setting("log"), "10.0.0.1:27015");
    // A changed setting is a changed server, so whatever reads it starts again.
    web::ServerAddress changed = servers[0];
    changed.settings["rcon"] = "1.2.3.4:27016";
    EXPECT_FALSE(changed == servers[0]);
}

TEST(Config, NamesTheLineOfTheFirstMistake) {
    const std::pair<const char *, const char *> cases[] = {
        {"a 1.2.3.4:5\nb 1.2.3.4\n", "line 2: server b: \"1.2.3.4\" is not HOST:PORT"},
        {"a 1.2.3.4:0\n", "line 1: server a"},
        {"a 1.2.3.4:65536\n", "line 1: server a"},
        {"a 1.2.3.4:5 extra\n", "line 1: server a: \"extra\" is not key=value"},
        {"a 1.2.3.4:5 colour=red\n", "line 1: server a: unknown setting \"colour\" (known: rcon, "},
        {"a 1.2.3.4:5 log=h:1 log=h:2\n", "line 1: server a: log is given twice"},
        {"a 1.2.3.4:5 rcon=\n", "line 1: server a: rcon: the value must be"},
        {"a\n", "line 1: expected NAME HOST:PORT"},
        {"a/../b 1.2.3.4:5\n", "line 1: server name \"a/../b\""},
        {"a 1.2.3.4:5\na 1.2.3.4:6\n", "line 2: server name a is given twice"},
        {"a bad/host:5\n", "line 1: server a"},
    };
    for (const auto &[text, reason] : cases) {
        std::vector<web::ServerAddress> servers;
        std::string error;
        EXPECT_FALSE(web::parse_config(text, &servers, &error)) << text;
        EXPECT_EQ(error.find(reason), 0u) << text << " -> " << error;
    }
}

TEST(Options, ServersListenTokenAndTheirMistakes) {
    web::Options options;
    web::ParseResult result = web::parse_options(
        {"--server", "a=127.0.0.1:40015", "--server", "b=localhost:40016", "--listen", "0.0.0.0:9000"}, &options);
    ASSERT_EQ(result.outcome, web::ParseResult::run) << result.output;
    ASSERT_EQ(options.servers.size(), 2u);
    EXPECT_EQ(options.servers[1], (web::ServerAddress{"b", "localhost", 40016}));
    EXPECT_EQ(options.listen_host, "0.0.0.0");
    EXPECT_EQ(options.listen_port, 9000);
    EXPECT_TRUE(options.token.empty());

    ASSERT_EQ(web::parse_options({"--server", "a=h:1"}, &options).outcome, web::ParseResult::run);
    EXPECT_EQ(options.listen_host + ":" + std::to_string(options.listen_port), "127.0.0.1:8080");

    const std::string token_file = testing::TempDir() + "orlex_web_token";
    std::ofstream(token_file) << "  s3cret \n";
    ASSERT_EQ(web::parse_options({"--server", "a=h:1", "--token-file", token_file}, &options).outcome,
              web::ParseResult::run);
    EXPECT_EQ(options.token, "s3cret");

    const std::pair<std::vector<std::string>, const char *> mistakes[] = {
        {{}, "name the servers to watch"},
        {{"--server", "a=h:1", "--server", "a=h:2"}, "--server: server name a is given twice"},
        {{"--server", "nohost"}, "--server: \"nohost\" is not NAME=HOST:PORT"},
        {{"--server", "a=h:1", "--listen", "8080"}, "--listen: must be ADDR:PORT"},
        {{"--server", "a=h:1", "--listen", "h:70000"}, "--listen: port must be"},
        {{"--server", "a=h:1", "--token", ""}, "--token: the token must not be empty"},
        {{"--server", "a=h:1", "--token", "x", "--token-file", token_file}, "excludes"},
        {{"--server", "a=h:1", "--chat", "0"}, "--chat: Value 0 not in range"},
        {{"--bogus"}, "not expected: --bogus"},
    };
    for (const auto &[arguments, text] : mistakes) {
        result = web::parse_options(arguments, &options);
        EXPECT_EQ(result.outcome, web::ParseResult::exit);
        EXPECT_EQ(result.exit_code, 2);
        EXPECT_NE(result.output.find(text), std::string::npos) << result.output;
    }
    result = web::parse_options({"--help"}, &options);
    EXPECT_EQ(result.exit_code, 0);
    for (const char *option : {"--server", "--config", "--listen", "--token", "--token-file", "--chat"})
        EXPECT_NE(result.output.find(option), std::string::npos) << option;
}

TEST(Backoff, DoublesFromOneSecondToThirtyAndStartsAgainAfterAWorkingLink) {
    web::Backoff backoff;
    std::vector<long long> waits;
    for (int attempt = 0; attempt < 8; ++attempt)
        waits.push_back(backoff.next().count());
    EXPECT_EQ(waits, (std::vector<long long>{1, 2, 4, 8, 16, 30, 30, 30}));
    backoff.reset();
    EXPECT_EQ(backoff.next().count(), 1);
}

TEST(Access, TokenAsBearerCookieOrOnceInTheQuery) {
    EXPECT_TRUE(web::check_access("", "", "", "/").allowed);
    const std::string token = "s3 cr+t";
    EXPECT_FALSE(web::check_access(token, "", "", "/api/servers").allowed);
    EXPECT_FALSE(web::check_access(token, "Bearer s3 cr+", "", "/").allowed);
    EXPECT_FALSE(web::check_access(token, "Bearer s3 cr+tt", "", "/").allowed);
    EXPECT_FALSE(web::check_access(token, "Basic s3 cr+t", "", "/").allowed);
    EXPECT_TRUE(web::check_access(token, "Bearer s3 cr+t", "", "/").allowed);
    const web::Access query = web::check_access(token, "", "", "/?a=1&token=s3%20cr%2Bt");
    EXPECT_TRUE(query.allowed);
    EXPECT_TRUE(query.from_query);
    EXPECT_FALSE(web::check_access(token, "", "", "/?token=s3+cr+t").allowed);  // '+' is a space there
    // The cookie the gateway sets opens the next requests.
    const std::string cookie = web::token_cookie(token);
    const std::string pair = cookie.substr(0, cookie.find(';'));
    EXPECT_EQ(pair, "orlex_token=s3%20cr%2Bt");
    EXPECT_TRUE(web::check_access(token, "", "theme=dark; " + pair, "/").allowed);
    EXPECT_FALSE(web::check_access(token, "", "orlex_token=s3", "/").allowed);
    EXPECT_FALSE(web::same_secret("", ""));
}

TEST(StaticFiles, OnlyTheEmbeddedPathsExist) {
    ASSERT_NE(web::find_static_file("/"), nullptr);
    EXPECT_STREQ(web::find_static_file("/")->path, "/index.html");
    EXPECT_NE(web::find_static_file("/app.js"), nullptr);
    for (const char *path : {"", "/index.html/", "//app.js", "/../app.js", "/static/app.js", "/APP.JS", "/etc/passwd"})
        EXPECT_EQ(web::find_static_file(path), nullptr) << path;
}

// A change of the file: a server gone or moved is removed first, one new or moved added after;
// one the owner refused (owned is only what it took) is asked for again.
TEST(ConfigWatcher, AChangeRemovesWhatWentOrMovedAndAddsWhatCameOrMoved) {
    const web::ServerAddress a{"a", "h", 1}, b{"b", "h", 2}, b_moved{"b", "other", 2}, c{"c", "h", 3};
    const web::ConfigChanges changes = web::config_changes({a, b}, {b_moved, c});
    EXPECT_EQ(changes.removed, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(changes.added, (std::vector<web::ServerAddress>{b_moved, c}));
    EXPECT_TRUE(web::config_changes({a, b}, {b, a}).removed.empty());
    EXPECT_TRUE(web::config_changes({a, b}, {b, a}).added.empty());

    boost::asio::io_context io;
    std::vector<std::string> said;
    web::ConfigWatcher watcher(
        io, "unused",
        [&](const web::ServerAddress &server) {
            said.push_back("+" + server.name);
            return server.name != "taken";
        },
        [&](const std::string &name) { said.push_back("-" + name); });
    watcher.apply_text("a h:1\ntaken h:9\n");
    watcher.apply_text("a h:2\ntaken h:9\n");
    watcher.apply_text("a h:2\ntaken h:9\nnot a line\n");  // a mistake: nothing changes
    watcher.apply_text("");
    EXPECT_EQ(said, (std::vector<std::string>{"+a", "+taken", "-a", "+a", "+taken", "-a"}));
}

TEST(Config, APortIsOneTo65535InDigitsOnly) {
    int port = 0;
    EXPECT_TRUE(web::parse_port("65535", &port));
    EXPECT_EQ(port, 65535);
    for (const char *bad : {"", "0", "65536", "99999", "-1", "+80", "80 ", "0x50", "123456"})
        EXPECT_FALSE(web::parse_port(bad, &port)) << bad;
    EXPECT_EQ(port, 65535);
}
