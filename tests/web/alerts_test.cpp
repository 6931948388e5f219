// Webhook alerts end to end: the gateway (a real process) posts to a local HTTPS receiver whose
// self-made certificate it is given with --alerts-ca. An admin call in chat from a plug-in, once
// per cooldown however many follow; a receiver that fails or hangs is retried with backoff while
// viewers keep getting states; a simulated server killed and started again gives one down alert and
// one up alert.
#include <gtest/gtest.h>

#include <boost/json/parse.hpp>
#include <boost/json/value.hpp>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <thread>

#include "client/sample_records.h"
#include "support/sockets.h"
#include "web/harness.h"
#include "web/https_receiver.h"

using web_testing::FakePlugin;
using web_testing::Gateway;
using web_testing::HttpsReceiver;
using web_testing::kWait;
using web_testing::SimServer;

namespace json = boost::json;

namespace {

// The alerts file, beside the receiver's certificate.
std::string alerts_file(const HttpsReceiver &receiver, const std::string &rules) {
    const std::string path = receiver.ca_file() + ".alerts.json";
    std::ofstream(path) << R"({"webhooks":[{"name":"ops","url":")" << receiver.url()
                        << R"(","format":"json"}],"rules":)" << rules << "}";
    return path;
}

std::vector<json::value> bodies(HttpsReceiver &receiver) {
    std::vector<json::value> found;
    for (const HttpsReceiver::Request &request : receiver.requests()) {
        boost::system::error_code error;
        found.push_back(json::parse(request.body, error));
    }
    return found;
}

std::string field(const json::value &alert, const char *key) {
    return alert.is_object() && alert.as_object().contains(key) && alert.at(key).is_string()
               ? std::string(alert.at(key).as_string())
               : "";
}

bool logged(Gateway &gateway, const std::string &text) {
    return testing_support::wait_until([&] { return gateway.process().err().find(text) != std::string::npos; }, kWait);
}

bool requests_reach(HttpsReceiver &receiver, size_t count, int milliseconds = kWait) {
    return testing_support::wait_until([&] { return receiver.requests().size() >= count; }, milliseconds);
}

}  // namespace

TEST(WebAlerts, OneAdminCallPerCooldownFromAFloodOfChat) {
    HttpsReceiver receiver;
    ASSERT_TRUE(receiver.ready()) << "openssl could not make a certificate";
    FakePlugin plugin;
    Gateway gateway({"--server", "alpha=" + plugin.address(), "--alerts",
                     alerts_file(receiver, R"([{"kind":"chat","webhook":"ops"}])"), "--alerts-ca", receiver.ca_file()});
    ASSERT_GT(gateway.port(), 0) << gateway.process().err();
    ASSERT_TRUE(plugin.accept_gateway());
    ASSERT_TRUE(plugin.send(samples::server() + samples::players({"Bob: the Builder", "Zed"})));
    ASSERT_TRUE(plugin.send(samples::say("Bob: the Builder: !admin help")));
    ASSERT_TRUE(requests_reach(receiver, 1)) << gateway.process().err();
    std::vector<json::value> alerts = bodies(receiver);
    EXPECT_EQ(field(alerts[0], "kind"), "chat");
    EXPECT_EQ(field(alerts[0], "server"), "alpha");
    EXPECT_EQ(field(alerts[0], "player"), "Bob: the Builder");
    EXPECT_EQ(field(alerts[0], "text"), "!admin help");

    // 10,000 more calls by the same player within the cooldown: none posted, memory flat. Zed's
    // call, sent last, is posted once all of them were looked at.
    const long before_kb = gateway.process().resident_kb();
    std::string flood;
    for (int line = 0; line < 10000; ++line)
        flood += samples::say_team("Bob: the Builder: @ADMIN " + std::to_string(line));
    ASSERT_TRUE(plugin.send(flood + samples::say("Zed: !admin")));
    ASSERT_TRUE(requests_reach(receiver, 2)) << gateway.process().err();
    alerts = bodies(receiver);
    EXPECT_EQ(field(alerts[1], "player"), "Zed");
    EXPECT_LT(gateway.process().resident_kb() - before_kb, 16 * 1024 + web_testing::Process::memcheck_slack_kb());
    EXPECT_TRUE(logged(gateway, "alert sent to ops: [alpha] Zed calls: !admin")) << gateway.process().err();

    // The counters and the page's state name what was sent; the chat line is marked as a call.
    const std::string metrics = web_testing::http_get(gateway.port(), "/metrics").body;
    EXPECT_NE(metrics.find("orlex_alerts_sent_total 2\n"), std::string::npos) << metrics;
    web_testing::Viewer viewer(gateway.port());
    viewer.watch("alpha");
    EXPECT_TRUE(viewer.wait_for_state("\"alert\":true"));
    EXPECT_EQ(receiver.requests().size(), 2u);
}

// 500 twice, then taken: three tries, a second and then two apart; a hanging receiver is left after
// 5 s and tried again, and all the while a viewer gets every state the plug-in sends.
TEST(WebAlerts, FailingAndHangingReceiversAreRetriedWithoutStallingViewers) {
    HttpsReceiver receiver;
    ASSERT_TRUE(receiver.ready()) << "openssl could not make a certificate";
    receiver.answer(HttpsReceiver::Answer::error, 2);
    FakePlugin plugin;
    Gateway gateway({"--server", "alpha=" + plugin.address(), "--alerts",
                     alerts_file(receiver, R"([{"kind":"chat","webhook":"ops","cooldown":0}])"), "--alerts-ca",
                     receiver.ca_file()});
    ASSERT_GT(gateway.port(), 0) << gateway.process().err();
    ASSERT_TRUE(plugin.accept_gateway());
    ASSERT_TRUE(plugin.send(samples::server() + samples::players({"Ann"}) + samples::say("Ann: !admin")));
    ASSERT_TRUE(requests_reach(receiver, 3)) << gateway.process().err();
    std::vector<HttpsReceiver::Request> tries = receiver.requests();
    EXPECT_GE(tries[1].at - tries[0].at, std::chrono::milliseconds(900));
    EXPECT_GE(tries[2].at - tries[1].at, std::chrono::milliseconds(1900));
    EXPECT_TRUE(logged(gateway, "alert sent to ops")) << gateway.process().err();

    receiver.answer(HttpsReceiver::Answer::hang, 1);
    web_testing::Viewer viewer(gateway.port());
    viewer.watch("alpha");
    ASSERT_TRUE(plugin.send(samples::say("Ann: !admin hanging")));
    ASSERT_TRUE(requests_reach(receiver, 4));
    for (int round = 0; round < 8; ++round) {
        const std::string mark = "round" + std::to_string(round);
        ASSERT_TRUE(plugin.send(samples::say("Ann: " + mark)));
        EXPECT_TRUE(viewer.wait_for_state(mark, 2000)) << mark;
    }
    ASSERT_TRUE(requests_reach(receiver, 5));
    EXPECT_GE(receiver.requests()[4].at - receiver.requests()[3].at, std::chrono::milliseconds(4500));
    EXPECT_TRUE(logged(gateway, "no answer")) << gateway.process().err();
}

TEST(WebAlerts, AServerDownAndBackUpOnceEach) {
    HttpsReceiver receiver;
    ASSERT_TRUE(receiver.ready()) << "openssl could not make a certificate";
    SimServer sim("cstrike", 2);
    Gateway gateway({"--server", "sim=" + sim.address(), "--alerts",
                     alerts_file(receiver, R"([{"kind":"down","seconds":2,"webhook":"ops"}])"), "--alerts-ca",
                     receiver.ca_file()});
    ASSERT_GT(gateway.port(), 0) << gateway.process().err();
    // Up, with records taken: a server is down only once it has been seen up.
    ASSERT_TRUE(testing_support::wait_until(
        [&] {
            const std::string detail = web_testing::http_get(gateway.port(), "/api/servers/sim").body;
            return detail.find("\"connected\":true") != std::string::npos &&
                   detail.find("\"records\":0,") == std::string::npos;
        },
        kWait));
    sim.process().stop(SIGKILL);
    const auto killed = std::chrono::steady_clock::now();
    ASSERT_TRUE(requests_reach(receiver, 1)) << gateway.process().err();
    const auto latency = receiver.requests()[0].at - killed;
    EXPECT_GE(latency, std::chrono::seconds(2));
    std::printf("down alert %lld ms after the kill\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(latency).count()));
    EXPECT_EQ(field(bodies(receiver)[0], "kind"), "down");
    EXPECT_EQ(field(bodies(receiver)[0], "server"), "sim");

    sim.restart();
    const auto restarted = std::chrono::steady_clock::now();
    ASSERT_TRUE(requests_reach(receiver, 2)) << gateway.process().err();
    std::printf(
        "up alert %lld ms after the restart\n",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(receiver.requests()[1].at - restarted).count()));
    EXPECT_EQ(field(bodies(receiver)[1], "kind"), "up");
    std::this_thread::sleep_for(std::chrono::seconds(2));  // nothing more comes while it stays up
    EXPECT_EQ(receiver.requests().size(), 2u);
}
