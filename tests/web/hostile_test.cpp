// Misbehaving peers on both sides of the gateway: a "server" sending garbage without end, a viewer
// that never reads, a thousand WebSockets opened and dropped, malformed HTTP. The gateway stays up,
// its memory bounded, and a well-behaved viewer keeps getting its updates.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "client/sample_records.h"
#include "stream/records.h"
#include "support/hostile_records.h"
#include "support/sockets.h"
#include "web/harness.h"

using web_testing::FakePlugin;
using web_testing::Gateway;
using web_testing::kWait;
using web_testing::Viewer;

namespace {

// Closing it then sends a reset instead of an orderly end.
void reset_on_close(int fd) {
    const linger abort_at_close = {1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort_at_close, sizeof(abort_at_close));
}

// One of the gateway's TCP sockets as the kernel shows it: bytes written and not yet taken by the
// peer, and whether the connection is still established (not closed by the gateway).
struct TcpQueue {
    size_t bytes = 0;
    bool established = false;
};

// Every IPv4 socket whose local port is the gateway's, from /proc/net/tcp.
std::vector<TcpQueue> send_queues(int port) {
    std::vector<TcpQueue> queues;
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
        unsigned local_port = 0, state = 0;
        unsigned long sent = 0;
        // "  0: 0100007F:1F90 0100007F:C350 01 00000000:00000000 ..."
        if (std::sscanf(line.c_str(), " %*u: %*x:%x %*x:%*x %x %lx:%*x", &local_port, &state, &sent) == 3 &&
            static_cast<int>(local_port) == port && state != 0x0A)  // not the listening socket
            queues.push_back({static_cast<size_t>(sent), state == 0x01});
    }
    return queues;
}

std::string read_file(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string state_of(int port, const std::string &name) {
    return web_testing::http_get(port, "/api/servers/" + name).body;
}

}  // namespace

TEST(WebHostile, AServerSendingEndlessGarbageIsDroppedWhileOthersGoOn) {
    FakePlugin flooder, healthy;
    Gateway gateway({"--server", "flood=" + flooder.address(), "--server", "fine=" + healthy.address()});
    ASSERT_TRUE(flooder.accept_gateway());
    ASSERT_TRUE(healthy.accept_gateway());
    Viewer viewer(gateway.port());
    viewer.watch("fine");
    const long resident_before = gateway.process().resident_kb();
    // 10 MB without a line end: the gateway cuts the connection long before.
    const std::string chunk(64 * 1024, 'A');
    size_t sent = 0;
    while (sent < 10u * 1024 * 1024 && flooder.send(chunk))
        sent += chunk.size();
    EXPECT_LT(sent, 10u * 1024 * 1024) << "the gateway took all of it";
    EXPECT_NE(state_of(gateway.port(), "flood").find("without a record end"), std::string::npos);
    // It tries again; records with ends in garbage between them are skipped and counted.
    ASSERT_TRUE(flooder.accept_gateway());
    ASSERT_TRUE(flooder.send("junk\n\n" + samples::server("de_after") + "X\tY\n\n"));
    EXPECT_TRUE(testing_support::wait_until(
        [&] { return state_of(gateway.port(), "flood").find("\"malformed\":2") != std::string::npos; }, kWait));
    EXPECT_NE(state_of(gateway.port(), "flood").find("de_after"), std::string::npos);
    ASSERT_TRUE(healthy.send(samples::server("de_fine")));
    EXPECT_TRUE(viewer.wait_for_state("de_fine"));
    EXPECT_LT(gateway.process().resident_kb() - resident_before, 16 * 1024);
}

// Records shaped to make the fold's work grow (a table's cells are its entities times its keys), sent
// back to back: each is dropped whole, the server is marked in the API and the metrics with one log
// line, and the gateway goes on answering and folding the other server. Within the limits the same
// shapes fold as before.
TEST(WebHostile, RecordsOverTheLimitsAreDroppedAndTheServerMarked) {
    FakePlugin hostile, healthy;
    Gateway gateway({"--server", "hostile=" + hostile.address(), "--server", "fine=" + healthy.address()});
    ASSERT_TRUE(hostile.accept_gateway());
    ASSERT_TRUE(healthy.accept_gateway());
    ASSERT_TRUE(hostile.send(samples::server("de_hostile")));
    // The largest a genuine plug-in sends: 19 sentries of 32 keys, 32 players.
    ASSERT_TRUE(hostile.send(hostile::table_record("SENTRY", 19, 32, "1.0000") +
                             samples::players(std::vector<std::string>(32, "Somebody"))));
    ASSERT_TRUE(testing_support::wait_until(
        [&] { return state_of(gateway.port(), "hostile").find("\"k31\"") != std::string::npos; }, kWait));
    std::string state = state_of(gateway.port(), "hostile");
    EXPECT_NE(state.find("\"over_limits\":false"), std::string::npos) << state;

    // Over them: an entity line of 1,500 tabs then 500 key lines (within the bytes), and 60 kB
    // PLAYER records of 20,000 entities and junk lines, a hundred of each.
    const std::string tabs = hostile::tabs_then_keys("SENTRY", 1500, 500);
    const std::string players = hostile::players_with_junk(20000, 3000);
    ASSERT_LT(players.size(), records::RecordStream::kLongestPending);
    for (int round = 0; round < 100; ++round)
        ASSERT_TRUE(hostile.send(tabs + players)) << round;
    ASSERT_TRUE(hostile.send(samples::say("still heard")));
    ASSERT_TRUE(testing_support::wait_until(
        [&] { return state_of(gateway.port(), "hostile").find("still heard") != std::string::npos; }, kWait));
    state = state_of(gateway.port(), "hostile");
    EXPECT_NE(state.find("\"over_limits\":true"), std::string::npos) << state;
    EXPECT_NE(state.find("\"records_over_limits\":200"), std::string::npos) << state;
    EXPECT_NE(state.find("\"k31\""), std::string::npos) << "the last good sentries were replaced";
    EXPECT_NE(state.find("Somebody"), std::string::npos) << "the last good players were replaced";
    EXPECT_NE(state.find("\"connected\":true"), std::string::npos) << "records over the limits end no link";
    const std::string list = web_testing::http_get(gateway.port(), "/api/servers").body;
    EXPECT_NE(list.find("\"name\":\"hostile\""), std::string::npos);
    EXPECT_NE(list.find("\"over_limits\":true"), std::string::npos) << list;
    const std::string metrics = web_testing::http_get(gateway.port(), "/metrics").body;
    EXPECT_NE(metrics.find("orlex_server_records_over_limits_total{server=\"hostile\"} 200"), std::string::npos)
        << metrics;
    EXPECT_NE(metrics.find("orlex_server_sends_over_limits{server=\"fine\"} 0"), std::string::npos) << metrics;

    // One line for two hundred records, within the minute.
    const std::string said = gateway.process().err();
    const std::string line = "hostile sends records over the limits";
    EXPECT_NE(said.find(line), std::string::npos) << said;
    EXPECT_EQ(said.find(line), said.rfind(line)) << said;
    // The other server is folded as ever.
    ASSERT_TRUE(healthy.send(samples::server("de_fine")));
    EXPECT_TRUE(testing_support::wait_until(
        [&] { return state_of(gateway.port(), "fine").find("de_fine") != std::string::npos; }, kWait));
}

// Two dozen viewers that never read while states of some 50 kB change as fast as the gateway folds
// them: each holds a few tens of kB in its socket's send queue (seen from the gateway's side in
// /proc/net/tcp, reading them here would unstick them), is cut off once it is far behind, and the
// viewer that reads keeps getting its updates.
TEST(WebHostile, ViewersThatNeverReadHoldLittleAndAreCutOffWhileOthersKeepTheirUpdates) {
    FakePlugin server;
    Gateway gateway({"--server", "busy=" + server.address(), "--websockets-per-address", "64"});
    ASSERT_TRUE(server.accept_gateway());
    std::vector<std::unique_ptr<Viewer>> stuck;
    for (int at = 0; at < 24; ++at) {
        stuck.push_back(std::make_unique<Viewer>(gateway.port(), "", 4096));
        ASSERT_TRUE(stuck.back()->open()) << at;
        stuck.back()->watch("busy");
    }
    Viewer reader(gateway.port());
    ASSERT_TRUE(reader.open());
    reader.watch("busy");
    ASSERT_TRUE(reader.wait_for_state("\"name\":\"busy\""));
    // Fifty long chat lines kept: every push is some 50 kB.
    const std::string line(1000, 'x');
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        for (int count = 0; flooding; ++count)
            if (!server.send(samples::say(std::to_string(count) + line)))
                break;
    });
    size_t pushes = 0, most_queued = 0, most_in_all = 0;
    std::string message;
    const long resident_before = gateway.process().resident_kb();
    bool all_cut_off = false;
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWait);
         !(all_cut_off && pushes > 20) && std::chrono::steady_clock::now() < deadline;) {
        pushes += reader.next(&message, 50) ? 1 : 0;
        size_t in_all = 0, established = 0;
        for (const TcpQueue &queue : send_queues(gateway.port())) {
            most_queued = std::max(most_queued, queue.bytes);
            in_all += queue.bytes;
            established += queue.established ? 1 : 0;
        }
        most_in_all = std::max(most_in_all, in_all);
        all_cut_off = established == 1;  // the reader's alone
    }
    flooding = false;
    flood.join();

    EXPECT_TRUE(all_cut_off) << gateway.process().err();
    // The kernel's default would let each hold megabytes; a cut-off one is reset, not drained.
    EXPECT_LE(most_queued, 96u * 1024);
    EXPECT_LE(most_in_all, 25u * 96 * 1024);
    for (const auto &viewer : stuck)
        EXPECT_TRUE(viewer->closed_by_gateway(kWait));
    EXPECT_GT(pushes, 20u);
    ASSERT_TRUE(server.send(samples::say("after the flood")));
    EXPECT_TRUE(reader.wait_for_state("after the flood")) << gateway.process().err();
    EXPECT_LT(gateway.process().resident_kb() - resident_before, 32 * 1024);
    std::printf("[ figures  ] most in one send queue %zu bytes, in all %zu bytes\n", most_queued, most_in_all);
}

// A disk that takes 200 ms for every write (the slow-disk build): the recording falls behind, its
// queue fills and that server's recording stops with one line; states go on reaching the viewers.
TEST(WebHostile, ASlowDiskStopsTheRecordingNotTheViewers) {
    char directory[] = "/tmp/orlex_slow_disk_XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    FakePlugin server;
    // The rate cap raised out of the way: the disk, not the server's rate, is what stops the recording.
    Gateway gateway(
        {"--server", "busy=" + server.address(), "--record", directory, "--chat", "2", "--record-rate-kb", "1048576"},
        ORLEX_WEB_SLOW_DISK_PATH);
    ASSERT_TRUE(server.accept_gateway());
    Viewer viewer(gateway.port());
    ASSERT_TRUE(viewer.open());
    viewer.watch("busy");
    ASSERT_TRUE(server.send(samples::server("de_slow")));
    ASSERT_TRUE(viewer.wait_for_state("de_slow"));
    // Far more than the recorder may hold waiting for the disk, in records it could not write
    // within the test's time.
    const std::string line(4000, 'x');
    const std::string stopped = "recording busy: the disk is too slow";
    for (int count = 0; count < 20000 && gateway.process().err().find(stopped) == std::string::npos; ++count) {
        ASSERT_TRUE(server.send(samples::say(std::to_string(count) + line)));
        if (count % 500 == 0) {
            ASSERT_TRUE(viewer.wait_for_state("\"" + std::to_string(count) + "xxx")) << count;
        }
    }
    ASSERT_TRUE(
        testing_support::wait_until([&] { return gateway.process().err().find(stopped) != std::string::npos; }, kWait))
        << gateway.process().err();
    ASSERT_TRUE(server.send(samples::say("after the flood")));
    EXPECT_TRUE(viewer.wait_for_state("after the flood")) << gateway.process().err();
    const std::string said = gateway.process().err();
    EXPECT_EQ(said.find(stopped), said.rfind(stopped)) << said;
    EXPECT_EQ(gateway.process().stop(SIGTERM), 0);
    std::filesystem::remove_all(directory);
}

// A server sending big records as fast as it can, beside a genuine one, with a small directory:
// its recording pauses with one line, resumes with one when it calms down, and the genuine
// server's recording is whole at the end.
TEST(WebHostile, AServerSendingBigRecordsFastCannotDeleteAnothersRecording) {
    char directory[] = "/tmp/orlex_hostile_record_XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    FakePlugin hostile, genuine;
    Gateway gateway({"--server", "hostile=" + hostile.address(), "--server", "genuine=" + genuine.address(), "--record",
                     directory, "--record-max-mb", "1"});
    ASSERT_TRUE(hostile.accept_gateway());
    ASSERT_TRUE(genuine.accept_gateway());
    ASSERT_TRUE(genuine.send(samples::server("de_genuine") + samples::players({"Ann", "Bo"})));
    const std::string paused = "recording hostile paused", resumed = "recording hostile resumes";
    ASSERT_TRUE(hostile.send(samples::server("de_hostile")));
    const std::string line(4000, 'x');
    for (int count = 0; count < 2000 && gateway.process().err().find(paused) == std::string::npos; ++count)
        ASSERT_TRUE(hostile.send(samples::say(line)));
    ASSERT_TRUE(
        testing_support::wait_until([&] { return gateway.process().err().find(paused) != std::string::npos; }, kWait));
    // Three megabytes more while paused: none of it reaches the disk.
    for (int count = 0; count < 750; ++count)
        ASSERT_TRUE(hostile.send(samples::say(line)));
    // Calm again: once the last seconds' rate is under half the cap, recording goes on.
    EXPECT_TRUE(testing_support::wait_until(
        [&] {
            hostile.send(samples::say("calm"));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return gateway.process().err().find(resumed) != std::string::npos;
        },
        kWait));
    ASSERT_TRUE(genuine.send(samples::say("still recorded")));
    EXPECT_TRUE(testing_support::wait_until(
        [&] { return state_of(gateway.port(), "genuine").find("still recorded") != std::string::npos; }, kWait));
    EXPECT_EQ(gateway.process().stop(SIGTERM), 0);
    const std::string said = gateway.process().err();
    EXPECT_EQ(said.find(paused), said.rfind(paused)) << said;
    EXPECT_EQ(said.find(resumed), said.rfind(resumed)) << said;
    EXPECT_EQ(said.find("recording genuine"), std::string::npos) << said;
    uint64_t total = 0;
    std::string genuine_text;
    for (const auto &entry : std::filesystem::directory_iterator(directory)) {
        total += entry.file_size();
        if (entry.path().filename().string().find("_genuine_") != std::string::npos)
            genuine_text += read_file(entry.path().string());
    }
    EXPECT_LE(total, 1024u * 1024);
    EXPECT_NE(genuine_text.find("Ann"), std::string::npos);
    EXPECT_NE(genuine_text.find("still recorded"), std::string::npos);
    std::filesystem::remove_all(directory);
}

// A server whose report cycle stops while its chat goes on: once three of its periods (here a
// second) pass without a SERVER record it is stale in the API, the list and the metrics, and the
// next SERVER record clears the mark.
TEST(WebHostile, AServerWhoseReportsStopIsStaleWhateverElseItSends) {
    FakePlugin server;
    Gateway gateway({"--server", "quiet=" + server.address()});
    ASSERT_TRUE(server.accept_gateway());
    for (int cycle = 0; cycle < 3; ++cycle) {
        if (cycle > 0)
            std::this_thread::sleep_for(std::chrono::seconds(1));
        ASSERT_TRUE(server.send(samples::server("de_cycle" + std::to_string(cycle))));
    }
    ASSERT_TRUE(testing_support::wait_until(
        [&] { return state_of(gateway.port(), "quiet").find("de_cycle2") != std::string::npos; }, kWait));
    EXPECT_NE(state_of(gateway.port(), "quiet").find("\"stale\":false"), std::string::npos);
    EXPECT_TRUE(testing_support::wait_until(
        [&] {
            server.send(samples::say("still chatting"));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return state_of(gateway.port(), "quiet").find("\"stale\":true") != std::string::npos;
        },
        kWait));
    EXPECT_NE(web_testing::http_get(gateway.port(), "/api/servers").body.find("\"stale\":true"), std::string::npos);
    EXPECT_NE(web_testing::http_get(gateway.port(), "/metrics").body.find("orlex_server_stale{server=\"quiet\"} 1"),
              std::string::npos);
    EXPECT_NE(state_of(gateway.port(), "quiet").find("\"connected\":true"), std::string::npos);
    ASSERT_TRUE(server.send(samples::server("de_back")));
    EXPECT_TRUE(testing_support::wait_until(
        [&] {
            const std::string state = state_of(gateway.port(), "quiet");
            return state.find("de_back") != std::string::npos && state.find("\"stale\":false") != std::string::npos;
        },
        kWait));
}

TEST(WebHostile, AThousandWebSocketsOpenedAndDropped) {
    FakePlugin server;
    // All from one address: its share raised to hold them.
    Gateway gateway({"--server", "many=" + server.address(), "--websockets-per-address", "1000"});
    ASSERT_TRUE(server.accept_gateway());
    const long resident_before = gateway.process().resident_kb();
    for (int batch = 0; batch < 4; ++batch) {
        std::vector<std::unique_ptr<Viewer>> viewers;
        for (int at = 0; at < 250; ++at) {
            viewers.push_back(std::make_unique<Viewer>(gateway.port()));
            ASSERT_TRUE(viewers.back()->open()) << batch << " " << at;
            viewers.back()->watch("many");
        }
        ASSERT_TRUE(server.send(samples::server("de_batch" + std::to_string(batch))));
        for (size_t at = 0; at < viewers.size(); at += 2)  // half with a reset, half with an orderly end
            reset_on_close(viewers[at]->fd());
    }
    Viewer after(gateway.port());
    after.watch("many");
    ASSERT_TRUE(server.send(samples::server("de_last")));
    EXPECT_TRUE(after.wait_for_state("de_last"));
    EXPECT_LT(gateway.process().resident_kb() - resident_before, 32 * 1024);
    EXPECT_TRUE(gateway.process().running());
}

TEST(WebHostile, MalformedHttpIsAnsweredOrDroppedAndTheGatewayStaysUp) {
    Gateway gateway({"--server", "x=127.0.0.1:" + std::to_string(testing_support::free_port())});
    const int port = gateway.port();
    const std::string host = "Host: 127.0.0.1\r\n";
    const std::pair<std::string, int> cases[] = {
        {"POST /api/servers HTTP/1.1\r\n" + host + "\r\n", 405},
        {"POST /api/servers HTTP/1.1\r\n" + host + "Content-Length: 2\r\n\r\n{}", 400},  // no body, ever
        {"DELETE / HTTP/1.1\r\n" + host + "\r\n", 405},
        {"GET / HTTP/1.1\r\n" + host + "X-Long: " + std::string(20000, 'a') + "\r\n\r\n", 431},
        {"GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n" + host + "\r\n", 431},
        {"GET / HTTP/1.1\r\n" + host + "Content-Length: 5\r\n\r\nhello", 400},
        {"GARBAGE\x01\x02\r\n\r\n", 400},
        {"GET / HTTP/9.9\r\n" + host + "\r\n", 400},
        {"GET /../../etc/passwd HTTP/1.1\r\n" + host + "\r\n", 404},
        {"GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\n" + host + "\r\n", 404},
        {"GET /api/servers/../../etc/passwd HTTP/1.1\r\n" + host + "\r\n", 404},
        {"GET http://other/../index.html HTTP/1.1\r\n" + host + "\r\n", 404},
        {"GET /ws HTTP/1.1\r\n" + host + "\r\n", 404},  // not an upgrade
        {"GET /ws HTTP/1.1\r\n" + host +
             "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: "
             "dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\nOrigin: http://evil.example\r\n\r\n",
         403},
        {"HEAD / HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n", 200},
    };
    for (const auto &[request, status] : cases)
        EXPECT_EQ(web_testing::http_exchange(port, request).status, status) << request.substr(0, 60);
    EXPECT_TRUE(
        web_testing::http_exchange(port, "HEAD / HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n").body.empty());
    // A request that never finishes holds only its own connection.
    testing_support::TcpClient slow(port);
    ASSERT_TRUE(slow.send("GET / HTTP/1.1\r\nHo"));
    EXPECT_EQ(web_testing::http_get(port, "/api/servers").status, 200);
    // Messages from a page choose a server and nothing else; anything else is ignored.
    Viewer viewer(gateway.port());
    for (const char *name : {"nosuch", "x\"}", "../x"})
        viewer.watch(name);
    viewer.watch("x");
    EXPECT_TRUE(viewer.wait_for_state("\"name\":\"x\""));
    EXPECT_TRUE(gateway.process().running());
}
