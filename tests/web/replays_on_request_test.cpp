// Recordings of the recording directory replayed when a page asks (POST /api/replays): the real
// gateway, real files written by the recording writer, every request on loopback. What is opened and
// where it stands, the names and paths refused, the bound on open replays, idle ones closing, and
// who may ask.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "recording/writer.h"
#include "support/sockets.h"
#include "web/access/users.h"
#include "web/harness.h"
#include "web/options.h"

using web_testing::Gateway;
using web_testing::HttpReply;
using web_testing::kWait;
using web_testing::TempDir;
using web_testing::Viewer;

namespace {

namespace json = boost::json;

constexpr char kViewerToken[] = "viewer-token-for-replays";
constexpr int64_t kRecordingLengthMs = 10000;
constexpr int64_t kRecordingStartMs = 1700000000000;

// A recording of ten seconds: the server's record, then a chat line every two seconds.
void write_recording(const std::string &path) {
    recording::Writer writer;
    recording::Header header;
    header.server = "sim";
    header.address = "127.0.0.1:27015";
    header.map = "de_dust2";
    header.writer = "orlex_web";
    header.start_ms = kRecordingStartMs;
    std::string error;
    const auto start = recording::Writer::Clock::now();
    ASSERT_TRUE(writer.create(path, header, start, &error)) << error;
    ASSERT_TRUE(writer.append("TYPE\tSERVER\nMAP_NAME\tde_dust2\nHOST_NAME\tsim\n\n", start, &error)) << error;
    for (int second = 2; second <= 10; second += 2)
        ASSERT_TRUE(writer.append("TYPE\tSAY\nUSER_ID\t7\nCHAT\tat " + std::to_string(second) + "\n\n",
                                  start + std::chrono::seconds(second), &error))
            << error;
}

std::string recording_name(int n) { return "20250101T12000" + std::to_string(n) + ".000Z_sim_de_dust2.orlexrec"; }

HttpReply post(int port, const std::string &body, const std::string &headers = "") {
    return web_testing::http_exchange(port, "POST /api/replays HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                                "\r\nContent-Type: application/json\r\nConnection: close\r\n"
                                                "Content-Length: " +
                                                std::to_string(body.size()) + "\r\n" + headers + "\r\n" + body);
}

HttpReply open(int port, const std::string &file, int seek_ms, const std::string &headers = "") {
    return post(port, json::serialize(json::object{{"file", file}, {"seek_ms", seek_ms}}), headers);
}

json::object parsed(const HttpReply &reply) {
    boost::system::error_code error;
    const json::value value = json::parse(reply.body, error);
    return !error && value.is_object() ? value.as_object() : json::object();
}

std::vector<std::string> listed(int port, const std::string &headers = "") {
    std::vector<std::string> names;
    const json::object servers = parsed(web_testing::http_get(port, "/api/servers", headers));
    if (servers.contains("servers"))
        for (const json::value &server : servers.at("servers").as_array())
            names.emplace_back(server.at("name").as_string());
    return names;
}

int64_t number(const json::object &object, const char *key) {
    const json::value *value = object.if_contains(key);
    boost::system::error_code error;
    const int64_t n = value ? value->to_number<int64_t>(error) : -1;
    return error ? -1 : n;
}

// The first state a viewer is sent after it says what it watches.
json::object first_state(Viewer &viewer) {
    std::string message;
    while (viewer.next(&message, kWait)) {
        boost::system::error_code error;
        const json::value value = json::parse(message, error);
        if (!error && value.is_object() && value.at("type") == "state")
            return value.at("state").as_object();
    }
    return {};
}

bool is_listed(int port, const std::string &name) {
    const std::vector<std::string> names = listed(port);
    return std::find(names.begin(), names.end(), name) != names.end();
}

// A gateway recording to a directory with `count` recordings in it; no server it watches answers.
std::vector<std::string> recording_gateway(const TempDir &dir, int count, std::vector<std::string> more = {}) {
    ::mkdir(dir.file("rec").c_str(), 0700);
    for (int n = 1; n <= count; ++n)
        write_recording(dir.file("rec/" + recording_name(n)));
    std::vector<std::string> arguments = {"--server", "sim=127.0.0.1:" + std::to_string(testing_support::free_port()),
                                          "--record", dir.file("rec")};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

TEST(ReplayOnRequest, OpensARecordingSeekedAndPlayingAndReusesItForTheNextAsker) {
    TempDir dir;
    Gateway gateway(recording_gateway(dir, 1));
    ASSERT_GT(gateway.port(), 0);
    const HttpReply first = open(gateway.port(), recording_name(1), 4000);
    ASSERT_EQ(first.status, 200) << first.body;
    const json::object opened = parsed(first);
    const std::string name(opened.at("name").as_string());
    EXPECT_EQ(name, "20250101T120001.000Z_sim_de_dust2");
    // Playing: the position answered may be a moment past the point asked for (a slow machine).
    const auto near = [](int64_t position, int64_t asked) { return position >= asked && position < asked + 1000; };
    EXPECT_TRUE(near(number(opened, "position_ms"), 4000)) << number(opened, "position_ms");
    EXPECT_EQ(number(opened, "length_ms"), kRecordingLengthMs);
    EXPECT_EQ(opened.at("playing"), true);
    EXPECT_TRUE(is_listed(gateway.port(), name));

    // Watched, it shows the recording's state at that point: the chat lines up to it, no later one.
    Viewer viewer(gateway.port());
    ASSERT_TRUE(viewer.open());
    viewer.watch(name);
    const json::object state = first_state(viewer);
    ASSERT_TRUE(state.contains("replay")) << json::serialize(state);
    EXPECT_GE(number(state.at("replay").as_object(), "position_ms"), 4000);
    EXPECT_LT(number(state.at("replay").as_object(), "position_ms"), 6000);
    const std::string chat = json::serialize(state.at("chat"));
    EXPECT_NE(chat.find("at 4"), std::string::npos) << chat;
    EXPECT_EQ(chat.find("at 6"), std::string::npos) << chat;

    const json::object again = parsed(open(gateway.port(), recording_name(1), 1000));
    EXPECT_EQ(again.at("name").as_string(), name) << "the replay open is moved, not opened twice";
    EXPECT_TRUE(near(number(again, "position_ms"), 1000)) << number(again, "position_ms");
    EXPECT_EQ(listed(gateway.port()).size(), 2u);
    // A moment in Unix ms: the recording's time then, its start when earlier.
    const std::string at = "{\"file\":\"" + recording_name(1) + "\",\"at_ms\":";
    EXPECT_TRUE(
        near(number(parsed(post(gateway.port(), at + std::to_string(kRecordingStartMs + 6000) + "}")), "position_ms"),
             6000));
    EXPECT_TRUE(near(number(parsed(post(gateway.port(), at + "1}")), "position_ms"), 0));
    EXPECT_EQ(post(gateway.port(), at + "1,\"seek_ms\":5}").status, 400) << "either, not both";
    // Past the end it stays at the end, paused (play there would start it over).
    const json::object past = parsed(open(gateway.port(), recording_name(1), 99000));
    EXPECT_EQ(number(past, "position_ms"), kRecordingLengthMs);
    EXPECT_EQ(past.at("playing"), false);
}

TEST(ReplayOnRequest, RefusesNamesOutsideTheDirectoryAndFilesThatAreNoRecording) {
    TempDir dir;
    Gateway gateway(recording_gateway(dir, 1));
    ASSERT_GT(gateway.port(), 0);
    write_recording(dir.file("outside.orlexrec"));
    ASSERT_EQ(::symlink(dir.file("outside.orlexrec").c_str(), dir.file("rec/linked.orlexrec").c_str()), 0);
    ASSERT_EQ(::mkdir(dir.file("rec/folder.orlexrec").c_str(), 0700), 0);
    std::ofstream(dir.file("rec/text.orlexrec")) << "not a recording\n";

    for (const std::string &file : std::vector<std::string>{
             "../outside.orlexrec", "rec/../../outside.orlexrec", "/tmp/outside.orlexrec", "a/b.orlexrec",
             ".hidden.orlexrec", "x..orlexrec", "%2e%2e%2foutside.orlexrec", "orlex_web.audit", "",
             recording_name(1) + "\n", std::string(300, 'a') + ".orlexrec", std::string("nul\0.orlexrec", 13)})
        EXPECT_EQ(open(gateway.port(), file, 0).status, 400) << file;
    for (const char *body : {"", "{", "[]", R"({"file":7})", R"({"seek_ms":0})", R"({"file":null})"})
        EXPECT_EQ(post(gateway.port(), body).status, 400) << body;
    for (const char *seek : {"-1", "\"10\"", "1e12", "null"})
        EXPECT_EQ(post(gateway.port(), "{\"file\":\"" + recording_name(1) + "\",\"seek_ms\":" + seek + "}").status, 400)
            << seek;
    EXPECT_EQ(open(gateway.port(), "nosuch.orlexrec", 0).status, 404);
    EXPECT_EQ(open(gateway.port(), "linked.orlexrec", 0).status, 404) << "a link may lead out of the directory";
    EXPECT_EQ(open(gateway.port(), "folder.orlexrec", 0).status, 404);
    EXPECT_EQ(open(gateway.port(), "text.orlexrec", 0).status, 422);
    EXPECT_EQ(web_testing::http_get(gateway.port(), "/api/replays").status, 405);
    EXPECT_EQ(listed(gateway.port()).size(), 1u) << "nothing was opened";
    EXPECT_EQ(open(gateway.port(), recording_name(1), 0).status, 200) << "and the gateway still serves";

    Gateway unrecorded({"--server", "sim=127.0.0.1:" + std::to_string(testing_support::free_port())});
    ASSERT_GT(unrecorded.port(), 0);
    EXPECT_EQ(open(unrecorded.port(), recording_name(1), 0).status, 404);
}

TEST(ReplayOnRequest, AtTheBoundTheLongestUnwatchedClosesAndWhenAllAreWatchedTheNextIsRefused) {
    TempDir dir;
    Gateway gateway(recording_gateway(dir, 4, {"--replays-open", "2"}));
    ASSERT_GT(gateway.port(), 0);
    std::vector<std::string> names;
    for (int n = 1; n <= 2; ++n)
        names.emplace_back(parsed(open(gateway.port(), recording_name(n), 0)).at("name").as_string());
    Viewer first(gateway.port());
    first.watch(names[0]);
    ASSERT_TRUE(first.wait_for_state(names[0]));

    const HttpReply third = open(gateway.port(), recording_name(3), 0);
    ASSERT_EQ(third.status, 200) << third.body;
    const std::string third_name(parsed(third).at("name").as_string());
    EXPECT_TRUE(is_listed(gateway.port(), names[0])) << "watched: kept";
    EXPECT_FALSE(is_listed(gateway.port(), names[1])) << "unwatched: closed for the new one";
    EXPECT_TRUE(is_listed(gateway.port(), third_name));

    Viewer second(gateway.port());
    second.watch(third_name);
    ASSERT_TRUE(second.wait_for_state(third_name));
    EXPECT_EQ(open(gateway.port(), recording_name(4), 0).status, 503);
    EXPECT_EQ(open(gateway.port(), recording_name(1), 2000).status, 200) << "one open is still found";
}

TEST(ReplayOnRequest, OneNobodyWatchesClosesAfterTheIdleTime) {
    TempDir dir;
    Gateway gateway(recording_gateway(dir, 2, {"--replay-idle", "1"}));
    ASSERT_GT(gateway.port(), 0);
    const std::string watched(parsed(open(gateway.port(), recording_name(1), 0)).at("name").as_string());
    Viewer viewer(gateway.port());
    viewer.watch(watched);
    ASSERT_TRUE(viewer.wait_for_state(watched));
    const std::string idle(parsed(open(gateway.port(), recording_name(2), 0)).at("name").as_string());
    EXPECT_TRUE(testing_support::wait_until([&] { return !is_listed(gateway.port(), idle); }, kWait));
    EXPECT_TRUE(is_listed(gateway.port(), watched)) << "one watched stays open";
}

TEST(ReplayOnRequest, ViewersAndAdminsMayThePublicAndOtherOriginsMayNot) {
    TempDir dir;
    const std::string admin_token = "admin-token-for-replays";
    std::ofstream(dir.file("users")) << "watcher viewer " << web::access::token_hash(kViewerToken) << "\n"
                                     << "boss admin " << web::access::token_hash(admin_token) << "\n";
    Gateway gateway(recording_gateway(dir, 2, {"--users", dir.file("users"), "--public", "--public-delay", "0"}));
    ASSERT_GT(gateway.port(), 0);
    const std::string bearer = "Authorization: Bearer " + std::string(kViewerToken) + "\r\n";
    EXPECT_EQ(open(gateway.port(), recording_name(1), 0).status, 403) << "the public view";
    EXPECT_EQ(open(gateway.port(), recording_name(1), 0, "Authorization: Bearer not-a-token\r\n").status, 403);

    const HttpReply viewer = open(gateway.port(), recording_name(1), 0, bearer);
    ASSERT_EQ(viewer.status, 200) << viewer.body;
    const std::string name(parsed(viewer).at("name").as_string());
    EXPECT_EQ(open(gateway.port(), recording_name(1), 0, "Authorization: Bearer " + admin_token + "\r\n").status, 200);
    EXPECT_EQ(listed(gateway.port()), std::vector<std::string>{"sim"}) << "the public is not shown the replay";
    EXPECT_EQ(listed(gateway.port(), bearer).size(), 2u);
    EXPECT_EQ(web_testing::http_get(gateway.port(), "/api/servers/" + name).status, 404);
    EXPECT_EQ(web_testing::http_get(gateway.port(), "/api/servers/" + name, bearer).status, 200);

    // With the cookie: from the gateway's own origin, with the session's CSRF value.
    const std::string cookie = "Cookie: orlex_token=" + std::string(kViewerToken) + "\r\n";
    const std::string session = web_testing::http_get(gateway.port(), "/api/session", cookie).body;
    const size_t at = session.find("\"csrf\":\"");
    ASSERT_NE(at, std::string::npos) << session;
    const std::string csrf = "X-CSRF-Token: " + session.substr(at + 8, 64) + "\r\n";
    const std::string origin = "Origin: http://127.0.0.1:" + std::to_string(gateway.port()) + "\r\n";
    EXPECT_EQ(open(gateway.port(), recording_name(2), 0, cookie + origin).status, 403) << "no CSRF value";
    EXPECT_EQ(open(gateway.port(), recording_name(2), 0, cookie + csrf).status, 403) << "no Origin";
    EXPECT_EQ(open(gateway.port(), recording_name(2), 0, cookie + csrf + "Origin: http://evil.example\r\n").status,
              403);
    EXPECT_EQ(open(gateway.port(), recording_name(2), 0, bearer + "Origin: http://evil.example\r\n").status, 403);
    EXPECT_EQ(listed(gateway.port(), bearer).size(), 2u) << "none of those opened anything";
    EXPECT_EQ(open(gateway.port(), recording_name(2), 0, cookie + origin + csrf).status, 200);
}

TEST(ReplayOnRequest, TheBoundAndTheIdleTimeAreOptionsWithinLimits) {
    web::Options options;
    ASSERT_EQ(web::parse_options({"--server", "a=127.0.0.1:1"}, &options).outcome, web::ParseResult::run);
    EXPECT_EQ(options.replays_open, 8u);
    EXPECT_EQ(options.replay_idle_seconds, 300);
    ASSERT_EQ(
        web::parse_options({"--server", "a=127.0.0.1:1", "--replays-open", "1", "--replay-idle", "86400"}, &options)
            .outcome,
        web::ParseResult::run);
    EXPECT_EQ(options.replays_open, 1u);
    EXPECT_EQ(options.replay_idle_seconds, 86400);
    for (const std::vector<std::string> &wrong : std::vector<std::vector<std::string>>{
             {"--replays-open", "0"}, {"--replays-open", "65"}, {"--replay-idle", "0"}, {"--replay-idle", "x"}}) {
        std::vector<std::string> arguments = {"--server", "a=127.0.0.1:1"};
        arguments.insert(arguments.end(), wrong.begin(), wrong.end());
        EXPECT_EQ(web::parse_options(arguments, &options).exit_code, 2) << wrong[0] << " " << wrong[1];
    }
}

}  // namespace
