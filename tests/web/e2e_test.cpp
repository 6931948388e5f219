// orlex_web end to end: the real simulated server with the built plug-in, the gateway as a program,
// and an independent admin client reading the same stream.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <fstream>
#include <map>

#include "stream/records.h"
#include "support/sockets.h"
#include "web/harness.h"

using web_testing::Gateway;
using web_testing::kWait;
using web_testing::SimServer;
using web_testing::Viewer;

namespace {

// What the gateway and the plug-in's latest records say alike: map, team scores, and each
// player's name, frags and deaths, in the record's order.
std::string from_api(int port, const std::string &name) {
    const std::string body = web_testing::http_get(port, "/api/servers/" + name).body;
    auto field = [&](size_t from, const std::string &key) {
        const size_t at = body.find("\"" + key + "\":", from);
        if (at == std::string::npos)
            return std::string();
        const size_t start = at + key.size() + 3;
        return body.substr(start, body.find_first_of(",}", start) - start);
    };
    std::string summary = "map " + field(0, "map") + " scores";
    for (size_t at = body.find("\"score\":"); at != std::string::npos; at = body.find("\"score\":", at + 1))
        summary += " " + field(at, "score");
    for (size_t at = body.find("{\"user_id\":"); at != std::string::npos; at = body.find("{\"user_id\":", at + 1))
        summary += " | " + field(at, "name") + " " + field(at, "frags") + " " + field(at, "deaths");
    return summary;
}

class StreamReader {
public:
    explicit StreamReader(int port) : client_(port) {}
    bool connected() const { return client_.connected(); }
    void read() {
        stream_.feed(client_.receive_now());
        records::Record record;
        while (stream_.next(&record))
            latest_[record.type] = record;
    }
    bool has(const std::string &type) const { return latest_.count(type) > 0; }
    std::string summary() const {
        const records::Record &server = latest_.at("SERVER"), &players = latest_.at("PLAYER");
        std::string text = "map \"" + server.value("MAP_NAME") + "\" scores";
        for (const std::string &score : *server.fields("TEAM_SCORES"))
            text += " " + score;
        for (size_t at = 0; at < players.entities(); ++at)
            text += " | \"" + (*players.fields("NAMES"))[at] + "\" " +
                    std::to_string(std::lround(std::stod((*players.fields("KILLS"))[at]))) + " " +
                    (*players.fields("DEATHS"))[at];
        return text;
    }

private:
    testing_support::TcpClient client_;
    records::RecordStream stream_;
    std::map<std::string, records::Record> latest_;
};

bool connected_as(int port, const std::string &name, bool connected) {
    const std::string wanted = "\"name\":\"" + name + "\",\"address\"";
    const std::string body = web_testing::http_get(port, "/api/servers").body;
    const size_t at = body.find(wanted);
    return at != std::string::npos && body.compare(body.find("\"connected\":", at), 16,
                                                   connected ? "\"connected\":true" : "\"connected\":fals") == 0;
}

}  // namespace

TEST(WebLive, TheApiAgreesWithAnIndependentClientOfTheSameStream) {
    SimServer server("cstrike", 6);
    Gateway gateway({"--server", "dust=" + server.address()});
    ASSERT_GT(gateway.port(), 0) << gateway.process().err();
    ASSERT_TRUE(testing_support::wait_until([&] { return connected_as(gateway.port(), "dust", true); }, kWait));
    StreamReader reader(server.plugin_port());
    ASSERT_TRUE(reader.connected());
    std::string ours, theirs;
    const bool agreed = testing_support::wait_until(
        [&] {
            reader.read();
            if (!reader.has("SERVER") || !reader.has("PLAYER"))
                return false;
            theirs = reader.summary();
            ours = from_api(gateway.port(), "dust");
            return ours == theirs && ours.find(" | ") != std::string::npos;
        },
        kWait);
    EXPECT_TRUE(agreed) << "gateway: " << ours << "\nclient:  " << theirs;
    const std::string list = web_testing::http_get(gateway.port(), "/api/servers").body;
    EXPECT_NE(list.find("\"game\":\"cstrike\",\"map\":\"de_dust\""), std::string::npos) << list;
    EXPECT_EQ(web_testing::http_get(gateway.port(), "/api/servers/nosuch").status, 404);
}

TEST(WebLive, AServerKilledIsShownDisconnectedThenConnectedWhenBack) {
    SimServer server("valve", 2);
    Gateway gateway({"--server", "box=" + server.address()});
    Viewer viewer(gateway.port());
    ASSERT_TRUE(viewer.open());
    viewer.watch("box");
    ASSERT_TRUE(viewer.wait_for_state("\"connected\":true"));
    server.process().stop(SIGKILL);
    EXPECT_TRUE(viewer.wait_for_state("\"connected\":false"));
    EXPECT_TRUE(connected_as(gateway.port(), "box", false));
    server.restart();
    EXPECT_TRUE(viewer.wait_for_state("\"connected\":true", 45000));
    EXPECT_NE(web_testing::http_get(gateway.port(), "/api/servers/box").body.find("\"reconnects\":1"),
              std::string::npos);
}

TEST(WebLive, AServerAddedToTheConfigurationAppears) {
    SimServer first("valve", 1), second("tfc", 1);
    const std::string config = testing::TempDir() + "orlex_web_config_" + std::to_string(getpid());
    std::ofstream(config) << "# watched\none " << first.address() << "\n";
    Gateway gateway({"--config", config});
    ASSERT_TRUE(testing_support::wait_until([&] { return connected_as(gateway.port(), "one", true); }, kWait));
    std::ofstream(config, std::ios::app) << "two " << second.address() << "\n";
    EXPECT_TRUE(testing_support::wait_until([&] { return connected_as(gateway.port(), "two", true); }, kWait));
    EXPECT_TRUE(connected_as(gateway.port(), "one", true));
    // A mistake in a later version is logged; what is watched stays.
    std::ofstream(config) << "one " << first.address() << "\nthree nowhere\n";
    EXPECT_TRUE(testing_support::wait_until(
        [&] { return gateway.process().err().find("line 2: server three") != std::string::npos; }, kWait));
    EXPECT_TRUE(connected_as(gateway.port(), "two", true));
    // Removed from the file: no longer watched.
    std::ofstream(config) << "two " << second.address() << "\n";
    EXPECT_TRUE(testing_support::wait_until(
        [&] { return web_testing::http_get(gateway.port(), "/api/servers/one").status == 404; }, kWait));
    std::remove(config.c_str());
}

TEST(WebAccess, WithATokenOnlyRequestsCarryingItAreAnswered) {
    Gateway gateway({"--server", "far=127.0.0.1:" + std::to_string(testing_support::free_port()), "--token", "k3y"});
    const int port = gateway.port();
    for (const char *target : {"/", "/app.js", "/api/servers", "/api/servers/far", "/nosuch", "/?token=wrong"}) {
        const web_testing::HttpReply refused = web_testing::http_get(port, target);
        EXPECT_EQ(refused.status, 401) << target;
        EXPECT_EQ(refused.body.find("far"), std::string::npos) << target;
        EXPECT_EQ(refused.header("WWW-Authenticate"), "Bearer");
    }
    EXPECT_EQ(Viewer(port).status(), 401);
    EXPECT_EQ(web_testing::http_get(port, "/api/servers", "Authorization: Bearer k3y\r\n").status, 200);
    const web_testing::HttpReply once = web_testing::http_get(port, "/?token=k3y");
    EXPECT_EQ(once.status, 200);
    const std::string cookie = once.header("Set-Cookie");
    EXPECT_EQ(cookie.find("orlex_token=k3y;"), 0u) << cookie;
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
    const std::string with_cookie = "Cookie: orlex_token=k3y\r\n";
    EXPECT_NE(web_testing::http_get(port, "/api/servers/far", with_cookie).body.find("\"name\":\"far\""),
              std::string::npos);
    Viewer viewer(port, with_cookie);
    ASSERT_TRUE(viewer.open());
    std::string message;
    ASSERT_TRUE(viewer.next(&message));
    EXPECT_NE(message.find("\"type\":\"servers\""), std::string::npos);
}

TEST(WebProgram, StopsCleanlyOnASignalAndRefusesBadCommandLines) {
    Gateway gateway({"--server", "x=127.0.0.1:" + std::to_string(testing_support::free_port())});
    Viewer viewer(gateway.port());
    ASSERT_TRUE(viewer.open());
    EXPECT_EQ(gateway.process().stop(SIGTERM), 0);
    web_testing::Process bad(ORLEX_WEB_PATH, {"--server", "x=h:1", "--listen", "127.0.0.1:99999"});
    EXPECT_EQ(bad.stop(0), 2);  // signal 0: only wait for the end
    EXPECT_NE(bad.err().find("--listen"), std::string::npos);
    const std::string config = testing::TempDir() + "orlex_web_bad_" + std::to_string(getpid());
    std::ofstream(config) << "a 1.2.3.4:5\nb\n";
    web_testing::Process bad_config(ORLEX_WEB_PATH, {"--config", config});
    EXPECT_EQ(bad_config.stop(0), 2);
    EXPECT_NE(bad_config.err().find("line 2: expected NAME HOST:PORT"), std::string::npos) << bad_config.err();
    std::remove(config.c_str());
}
