// The front door's rules on their own: shares per client address and the room kept for others,
// Host names, X-Forwarded-For, the WebSocket key, the backoff's steady minute, the options that
// set them; and what a recording keeps of a server with a join password.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "client/sample_records.h"
#include "recording/reader.h"
#include "recording/redact.h"
#include "stream/records.h"
#include "web/access.h"
#include "web/backoff.h"
#include "web/client_limits.h"
#include "web/handshake.h"
#include "web/options.h"
#include "web/recording_files.h"

namespace {

using Kind = web::ClientLimits::Kind;
using Slots = std::vector<web::ClientLimits::Slot>;

boost::asio::ip::address ip(const char *text) { return boost::asio::ip::make_address(text); }

// Takes as many as it may; the count taken.
size_t take_all(web::ClientLimits &limits, const std::string &client, Kind kind, Slots *held) {
    size_t taken = 0;
    for (web::ClientLimits::Slot slot; (slot = limits.take(client, kind)); ++taken)
        held->push_back(std::move(slot));
    return taken;
}

std::string server_with_password(const std::string &password) {
    std::string record = samples::server("de_secret");
    const std::string blank = "SV_PASSWORD\t\n";
    return record.replace(record.find(blank), blank.size(), "SV_PASSWORD\t" + password + "\n");
}

}  // namespace

TEST(ClientLimits, EachAddressHasItsShareAndTheLastSlotsAreKeptForAddressesHoldingFew) {
    web::ClientLimits limits({3, 2, 20});
    Slots held;
    EXPECT_EQ(take_all(limits, "10.0.0.1", Kind::http, &held), 3u);
    EXPECT_EQ(take_all(limits, "10.0.0.1", Kind::websocket, &held), 2u);
    EXPECT_EQ(take_all(limits, "10.0.0.2", Kind::http, &held), 3u);
    held.pop_back();  // given back: it may be taken again, once
    EXPECT_EQ(take_all(limits, "10.0.0.2", Kind::http, &held), 1u);
    EXPECT_EQ(limits.total(), 8u);

    // A total of 200, the last 10 for addresses holding fewer than four.
    web::ClientLimits crowded({60, 16, 200});
    Slots crowd;
    for (const char *client : {"10.0.1.1", "10.0.1.2", "10.0.1.3"})
        EXPECT_EQ(take_all(crowded, client, Kind::http, &crowd), 60u);
    EXPECT_EQ(take_all(crowded, "10.0.1.4", Kind::http, &crowd), 10u);  // up to the kept room
    EXPECT_EQ(take_all(crowded, "10.0.1.1", Kind::websocket, &crowd), 0u);
    EXPECT_EQ(take_all(crowded, "10.0.2.1", Kind::http, &crowd), 4u);
    EXPECT_EQ(take_all(crowded, "10.0.2.2", Kind::websocket, &crowd), 4u);
    EXPECT_EQ(take_all(crowded, "10.0.2.3", Kind::http, &crowd), 2u);
    EXPECT_EQ(crowded.total(), 200u);
    EXPECT_EQ(take_all(crowded, "10.0.3.1", Kind::http, &crowd), 0u);  // the total holds for everyone

    // A proxy carries many clients: only the total bounds it. Slots outlive their limits safely.
    web::ClientLimits::Slot survivor;
    {
        web::ClientLimits proxied({2, 1, 10});
        proxied.add_unlimited(ip("192.0.2.7"));
        Slots through;
        EXPECT_EQ(take_all(proxied, "192.0.2.7", Kind::http, &through), 10u);
        survivor = std::move(through.back());
    }
    survivor.release();
}

TEST(ClientLimits, AnIpv6ClientIsCountedByItsSlash64) {
    EXPECT_EQ(web::ClientLimits::client_of(ip("2001:db8:1:2:aaaa::1")), "2001:db8:1:2::/64");
    EXPECT_EQ(web::ClientLimits::client_of(ip("2001:db8:1:2:ffff:1:2:3")), "2001:db8:1:2::/64");
    EXPECT_NE(web::ClientLimits::client_of(ip("2001:db8:1:3::1")), "2001:db8:1:2::/64");
    EXPECT_EQ(web::ClientLimits::client_of(ip("::ffff:10.1.2.3")), "10.1.2.3");
    EXPECT_EQ(web::ClientLimits::client_of(ip("10.1.2.3")), "10.1.2.3");
}

TEST(Access, HostNamesAndTheClientAProxyForwardedFor) {
    const std::vector<std::string> names = {"localhost", "127.0.0.1", "[::1]", "dash.example"};
    for (const char *host :
         {"localhost", "LocalHost:8080", "localhost.", "127.0.0.1:1", "[::1]:8080", "[::1]", "DASH.EXAMPLE"})
        EXPECT_TRUE(web::host_is_one_of(host, names)) << host;
    for (const char *host : {"", ":8080", "evil.example", "localhost.evil.example", "localhost:", "localhost:80x",
                             "localhost:80:80", "[::1", "[::1]x", "::1", "127.0.0.1 ", "dash.example@evil"})
        EXPECT_FALSE(web::host_is_one_of(host, names)) << host;

    const auto proxy = ip("127.0.0.2");
    const std::vector<boost::asio::ip::address> proxies = {proxy, ip("127.0.0.3")};
    EXPECT_EQ(web::forwarded_client(proxy, {"10.0.0.1"}, proxies), ip("10.0.0.1"));
    EXPECT_EQ(web::forwarded_client(proxy, {"6.6.6.6, 10.0.0.1"}, proxies), ip("10.0.0.1"));
    EXPECT_EQ(web::forwarded_client(proxy, {"6.6.6.6", "10.0.0.1 , 127.0.0.3"}, proxies), ip("10.0.0.1"));
    EXPECT_EQ(web::forwarded_client(proxy, {"2001:db8::5"}, proxies), ip("2001:db8::5"));
    for (const std::vector<std::string_view> &values :
         std::vector<std::vector<std::string_view>>{{}, {""}, {"10.0.0.1, junk"}, {"127.0.0.3"}})
        EXPECT_EQ(web::forwarded_client(proxy, values, proxies), proxy);
}

TEST(Handshake, OnlySixteenBytesInBase64AreAKey) {
    EXPECT_TRUE(web::valid_websocket_key("dGhlIHNhbXBsZSBub25jZQ=="));
    EXPECT_TRUE(web::valid_websocket_key("+/+/AAAAAAAAAAAAAAAAAA=="));
    for (const char *key : {"", "!!", "dGhlIHNhbXBsZSBub25jZQ", "dGhlIHNhbXBsZSBub25jZQ=", "dGhlIHNhbXBsZSBub25jZQ===",
                            "dGhlIHNhbXBsZSBub25j ZQ==", "dGhlIHNhbXBsZSBub25jZ===", "dGhlIHNhbXBsZSBub25jZQ=A"})
        EXPECT_FALSE(web::valid_websocket_key(key)) << key;
}

TEST(Backoff, StartsAgainOnlyAfterALinkStayedUpForAMinute) {
    using std::chrono::seconds;
    web::Backoff backoff;
    const web::Backoff::Clock::time_point start{};
    std::vector<long long> waits;
    // Each link falls within the minute: the waits go on growing.
    for (int attempt = 0; attempt < 6; ++attempt) {
        backoff.link_up(start + seconds(100 * attempt));
        waits.push_back(backoff.next(start + seconds(100 * attempt + 59)).count());
    }
    EXPECT_EQ(waits, (std::vector<long long>{1, 2, 4, 8, 16, 30}));
    // One that stayed a minute: the first wait again, and growing from there.
    backoff.link_up(start + seconds(1000));
    EXPECT_FALSE(backoff.steady(start + seconds(1059)));
    EXPECT_TRUE(backoff.steady(start + seconds(1060)));
    EXPECT_EQ(backoff.next(start + seconds(1060)).count(), 1);
    EXPECT_EQ(backoff.next(start + seconds(2000)).count(), 2);  // an attempt that failed: no link, no reset
}

TEST(Options, SharesProxiesAndAllowedHosts) {
    web::Options options;
    ASSERT_EQ(web::parse_options({"--server", "a=h:1"}, &options).outcome, web::ParseResult::run);
    EXPECT_EQ(options.http_per_address, 64u);
    EXPECT_EQ(options.websockets_per_address, 16u);
    EXPECT_TRUE(options.trusted_proxies.empty() && options.allowed_hosts.empty());
    web::ParseResult result = web::parse_options(
        {"--server", "a=h:1", "--http-per-address", "8", "--websockets-per-address", "2", "--trusted-proxy", "10.0.0.1",
         "--trusted-proxy", "::1", "--allowed-host", "Dash.Example", "--allowed-host", "::2"},
        &options);
    ASSERT_EQ(result.outcome, web::ParseResult::run) << result.output;
    EXPECT_EQ(options.http_per_address, 8u);
    EXPECT_EQ(options.websockets_per_address, 2u);
    EXPECT_EQ(options.trusted_proxies, (std::vector<std::string>{"10.0.0.1", "::1"}));
    EXPECT_EQ(options.allowed_hosts, (std::vector<std::string>{"dash.example", "[::2]"}));
    const std::pair<std::vector<std::string>, const char *> mistakes[] = {
        {{"--http-per-address", "0"}, "--http-per-address: Value 0 not in range"},
        {{"--websockets-per-address", "1001"}, "--websockets-per-address: Value 1001 not in range"},
        {{"--trusted-proxy", "proxy.example"}, "--trusted-proxy: \"proxy.example\" is not an IP address"},
        {{"--allowed-host", "dash.example:8080"}, "--allowed-host: \"dash.example:8080\" is not a host name"},
        {{"--allowed-host", "dash example"}, "--allowed-host: \"dash example\" is not a host name"},
    };
    for (const auto &[more, text] : mistakes) {
        std::vector<std::string> arguments = {"--server", "a=h:1"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        result = web::parse_options(arguments, &options);
        EXPECT_EQ(result.exit_code, 2);
        EXPECT_NE(result.output.find(text), std::string::npos) << result.output;
    }
}

TEST(JoinPassword, BlankedInARecordsTextAndNothingElseChanges) {
    EXPECT_EQ(recording::without_join_password(server_with_password("hunter2")), samples::server("de_secret"));
    EXPECT_EQ(recording::without_join_password("TYPE\tSERVER\nSV_PASSWORD\ta\tb\nSV_PASSWORD\tc\n\n"),
              "TYPE\tSERVER\nSV_PASSWORD\t\nSV_PASSWORD\t\n\n");
    EXPECT_EQ(recording::without_join_password("TYPE\tSERVER\nSV_PASSWORD\tcut"), "TYPE\tSERVER\nSV_PASSWORD\t");
    const std::string others = samples::players({"SV_PASSWORD"}) + "TYPE\tSAY\nCHAT\t\"SV_PASSWORD\tx\"\n\n";
    EXPECT_EQ(recording::without_join_password(others), others);
}

TEST(Recorder, AServerWithAJoinPasswordIsRecordedWithoutItInAFolderForTheOwnerAlone) {
    std::string parent = testing::TempDir() + "orlex_secret_XXXXXX";
    ASSERT_TRUE(mkdtemp(&parent[0]));
    const std::string directory = parent + "/recordings";
    web::RecordingFiles recorder(directory, 1 << 30);
    std::string error;
    ASSERT_TRUE(recorder.prepare(&error)) << error;
    records::RecordStream split;
    split.feed(server_with_password("hunter2") + samples::players({"Ann"}) + server_with_password("hunter2"));
    records::Record record;
    while (split.next_any(&record))
        recorder.add("locked", "127.0.0.1:40015", web::RecordText::of(record), web::RecordingFiles::Clock::now());
    const std::string path = recorder.current_file("locked");
    ASSERT_NE(path, "");
    recorder.sync_all(web::RecordingFiles::Clock::now() + std::chrono::seconds(2));

    std::ifstream file(path, std::ios::binary);
    const std::string stored((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(stored.find("hunter2"), std::string::npos);
    recording::Recording recorded;
    ASSERT_TRUE(recording::read_recording(path, &recorded, &error)) << error;
    ASSERT_EQ(recorded.entries.size(), 3u);
    EXPECT_EQ(recorded.record(0), samples::server("de_secret"));

    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(directory.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
}
