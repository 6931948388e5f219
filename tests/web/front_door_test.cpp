// The gateway's front door against hostile clients and a hostile server: one address holding all
// the connections it may (from 127.0.0.2, while 127.0.0.1 is served), headers trickled to hold a
// connection, a proxy's X-Forwarded-For and clients forging it, another site's name pointed at the
// gateway, malformed WebSocket keys, and a server that fails right after one good record.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "client/sample_records.h"
#include "support/sockets.h"
#include "web/harness.h"

using web_testing::FakePlugin;
using web_testing::Gateway;
using web_testing::kWait;
using Clock = std::chrono::steady_clock;

namespace {

const char kKey[] = "dGhlIHNhbXBsZSBub25jZQ==";

long long ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A connection to the gateway from a chosen loopback address, read as raw bytes.
class Client {
public:
    Client(int port, const char *source) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, source, &address.sin_addr);
        const bool bound = bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
        address.sin_port = htons(static_cast<unsigned short>(port));
        inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        if (!bound || connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0)
            close();
    }
    ~Client() { close(); }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    bool send(const std::string &bytes) {
        return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // The status of the answer's head; 0 when the gateway closed without one or none came in time.
    int status(int milliseconds = kWait) {
        for (const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
             head_end() == std::string::npos && Clock::now() < deadline && read_some(100);)
            ;
        return head_end() == std::string::npos || received_.compare(0, 7, "HTTP/1.") != 0
                   ? 0
                   : std::atoi(received_.c_str() + 9);
    }
    // The status line and the header lines, each ending in CRLF.
    std::string head() const { return head_end() == std::string::npos ? "" : received_.substr(0, head_end() + 2); }
    // True when the gateway ends the connection within the time.
    bool closed_by_gateway(int milliseconds) {
        for (const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds); Clock::now() < deadline;)
            if (!read_some(100))
                return true;
        return false;
    }
    // The head and its body of Content-Length bytes, so that the next answer starts afresh.
    void forget_answer() {
        const size_t length = received_.find("\r\nContent-Length: ");
        const size_t body = head_end() + 4;
        const size_t size = length < body ? std::stoul(received_.substr(length + 18)) : 0;
        for (const auto deadline = Clock::now() + std::chrono::milliseconds(kWait);
             received_.size() < body + size && Clock::now() < deadline && read_some(100);)
            ;
        received_.erase(0, std::min(received_.size(), body + size));
    }

private:
    size_t head_end() const { return received_.find("\r\n\r\n"); }
    // False at the end of the stream or an error.
    bool read_some(int milliseconds) {
        pollfd ready = {fd_, POLLIN, 0};
        if (fd_ < 0)
            return false;
        if (poll(&ready, 1, milliseconds) <= 0)
            return true;
        char buffer[4096];
        const ssize_t count = recv(fd_, buffer, sizeof(buffer), 0);
        if (count <= 0)
            return false;
        received_.append(buffer, static_cast<size_t>(count));
        return true;
    }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    int fd_ = -1;
    std::string received_;
};

std::string upgrade(const std::string &more_headers = "", const std::string &key = kKey) {
    return "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Key: " +
           key + "\r\nSec-WebSocket-Version: 13\r\n" + more_headers + "\r\n";
}

std::string get(const std::string &target, const std::string &headers = "Host: 127.0.0.1\r\n") {
    return "GET " + target + " HTTP/1.1\r\n" + headers + "\r\n";
}

// The status of one request on its own connection from that address. An answer that ends its
// connection is waited out, so that the connection is no longer counted when this returns.
int status_of(int port, const std::string &request, const char *source = "127.0.0.1") {
    Client client(port, source);
    const int status = client.send(request) ? client.status() : 0;
    if (client.head().find("\r\nConnection: close\r\n") != std::string::npos)
        client.closed_by_gateway(kWait);
    return status;
}

std::vector<std::string> unreachable_server() {
    return {"--server", "x=127.0.0.1:" + std::to_string(testing_support::free_port())};
}

std::vector<std::string> with(std::vector<std::string> arguments, const std::vector<std::string> &more) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

size_t count_of(const std::string &text, const std::string &part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

}  // namespace

TEST(WebFrontDoor, OneAddressAtItsShareLeavesAnotherAddressServedAtOnce) {
    Gateway gateway(unreachable_server());
    const int port = gateway.port();
    ASSERT_GT(port, 0);
    std::vector<std::unique_ptr<Client>> pages, stalls;
    // Its pages first: each upgrade needs an HTTP connection, and those are about to be taken.
    for (int at = 0; at < 16; ++at) {
        pages.push_back(std::make_unique<Client>(port, "127.0.0.2"));
        ASSERT_TRUE(pages.back()->send(upgrade()));
        ASSERT_EQ(pages.back()->status(), 101) << at;
    }
    {
        Client one_more(port, "127.0.0.2");
        ASSERT_TRUE(one_more.send(upgrade()));
        EXPECT_EQ(one_more.status(), 429);
        EXPECT_TRUE(one_more.closed_by_gateway(kWait));  // and its connection given back
    }
    // Then every HTTP connection it may hold, each a request that never ends.
    for (int at = 0; at < 64; ++at) {
        stalls.push_back(std::make_unique<Client>(port, "127.0.0.2"));
        ASSERT_TRUE(stalls.back()->send("GET / HTTP/1.1\r\nHo"));
    }
    Client over(port, "127.0.0.2");
    ASSERT_TRUE(over.send(get("/api/servers")));
    EXPECT_EQ(over.status(), 0) << "the 65th connection was answered";
    EXPECT_TRUE(over.closed_by_gateway(kWait));

    // Meanwhile a client on another address is served at once: the API and a page.
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(status_of(port, get("/api/servers")), 200);
    web_testing::Viewer viewer(port);
    std::string list;
    EXPECT_TRUE(viewer.open() && viewer.next(&list));
    EXPECT_LT(ms_since(start), 1000);

    // What it gives back it may take again.
    pages.pop_back();
    stalls.pop_back();
    EXPECT_TRUE(testing_support::wait_until([&] { return status_of(port, upgrade(), "127.0.0.2") == 101; }, kWait));
    EXPECT_TRUE(gateway.process().running());
}

// A request and a WebSocket handshake, both trickled at once: each is cut at its deadline.
TEST(WebFrontDoor, AHeaderTrickledByteByByteIsCutAtItsDeadlineTokenOrNot) {
    Gateway gateway(with(unreachable_server(), {"--token", "k3y"}));
    ASSERT_GT(gateway.port(), 0);
    Client slow(gateway.port(), "127.0.0.2"), slow_page(gateway.port(), "127.0.0.2");
    const std::string request = "GET /api/servers HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + std::string(400, 'a');
    const std::string handshake = upgrade("Authorization: Bearer k3y\r\nX-Slow: " + std::string(400, 'a') + "\r\n");
    const Clock::time_point start = Clock::now();
    bool cut = false, page_cut = false;
    for (size_t at = 0; at < request.size() && !(cut && page_cut); ++at) {
        cut = cut || !slow.send(request.substr(at, 1)) || slow.closed_by_gateway(50);
        page_cut = page_cut || !slow_page.send(handshake.substr(at, 1)) || slow_page.closed_by_gateway(50);
    }
    // The deadline is 10 s from the first byte; the whole trickle would take 40 s.
    EXPECT_TRUE(cut);
    EXPECT_TRUE(page_cut);
    EXPECT_LT(ms_since(start), 20000);
    EXPECT_EQ(slow.status(0), 0);
    EXPECT_EQ(slow_page.status(0), 0) << "the upgrade was answered";
}

TEST(WebFrontDoor, OnlyATrustedProxyNamesTheClientBehindIt) {
    Gateway gateway(with(unreachable_server(),
                         {"--trusted-proxy", "127.0.0.2", "--http-per-address", "2", "--websockets-per-address", "2"}));
    const int port = gateway.port();
    ASSERT_GT(port, 0);
    const auto forwarded = [](const std::string &chain) { return "X-Forwarded-For: " + chain + "\r\n"; };
    // The proxy carries every client: its own connections are not capped at one address's share.
    std::vector<std::unique_ptr<Client>> idle;
    for (int at = 0; at < 4; ++at) {
        idle.push_back(std::make_unique<Client>(port, "127.0.0.2"));
        ASSERT_TRUE(idle.back()->send("GET / HTTP/1.1\r\n"));
    }
    // Each client behind it has its share, counted by the last address the proxy wrote...
    std::vector<std::unique_ptr<Client>> kept;
    for (int at = 0; at < 2; ++at) {
        kept.push_back(std::make_unique<Client>(port, "127.0.0.2"));
        ASSERT_TRUE(kept.back()->send(get("/api/servers", "Host: 127.0.0.1\r\n" + forwarded("10.0.0.1"))));
        ASSERT_EQ(kept.back()->status(), 200) << at;
        kept.back()->forget_answer();  // the connection stays open, counted for 10.0.0.1
    }
    EXPECT_EQ(status_of(port, get("/api/servers", "Host: 127.0.0.1\r\n" + forwarded("10.0.0.1")), "127.0.0.2"), 429);
    EXPECT_EQ(
        status_of(port, get("/api/servers", "Host: 127.0.0.1\r\n" + forwarded("10.0.0.1, 10.0.0.2")), "127.0.0.2"),
        200);
    // ...whatever the client put before it.
    EXPECT_EQ(
        status_of(port, get("/api/servers", "Host: 127.0.0.1\r\n" + forwarded("10.0.0.2, 10.0.0.1")), "127.0.0.2"),
        429);
    std::vector<std::unique_ptr<Client>> pages;
    for (const char *chain : {"10.0.0.5", "192.0.2.1, 10.0.0.5"}) {
        pages.push_back(std::make_unique<Client>(port, "127.0.0.2"));
        ASSERT_TRUE(pages.back()->send(upgrade(forwarded(chain))));
        ASSERT_EQ(pages.back()->status(), 101) << chain;
    }
    EXPECT_EQ(status_of(port, upgrade(forwarded("10.0.0.5")), "127.0.0.2"), 429);
    EXPECT_EQ(status_of(port, upgrade(forwarded("10.0.0.6")), "127.0.0.2"), 101);

    // Anyone else's X-Forwarded-For is ignored: a new claim each time does not buy a new share.
    for (const char *chain : {"10.0.1.1", "10.0.1.2"}) {
        pages.push_back(std::make_unique<Client>(port, "127.0.0.3"));
        ASSERT_TRUE(pages.back()->send(upgrade(forwarded(chain))));
        ASSERT_EQ(pages.back()->status(), 101) << chain;
    }
    EXPECT_EQ(status_of(port, upgrade(forwarded("10.0.1.3")), "127.0.0.3"), 429);
    for (int at = 0; at < 2; ++at) {
        idle.push_back(std::make_unique<Client>(port, "127.0.0.3"));
        ASSERT_TRUE(idle.back()->send("GET / HTTP/1.1\r\n"));
    }
    EXPECT_EQ(status_of(port, get("/api/servers", "Host: 127.0.0.1\r\n" + forwarded("10.0.1.4")), "127.0.0.3"), 0);
}

TEST(WebFrontDoor, WithoutATokenAnotherSitesNamePointedHereIsRefused) {
    Gateway gateway(with(unreachable_server(), {"--allowed-host", "Dash.Example"}));
    const int port = gateway.port();
    ASSERT_GT(port, 0);
    const std::string evil = "Host: evil.example:8080\r\nOrigin: http://evil.example:8080\r\n";
    for (const char *target : {"/", "/app.js", "/api/servers", "/api/servers/x", "/metrics"}) {
        Client client(port, "127.0.0.1");
        ASSERT_TRUE(client.send(get(target, evil)));
        EXPECT_EQ(client.status(), 421) << target;
        EXPECT_EQ(client.head().find("Set-Cookie"), std::string::npos);
    }
    EXPECT_EQ(status_of(port, "GET /ws HTTP/1.1\r\n" + evil +
                                  "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + kKey +
                                  "\r\nSec-WebSocket-Version: 13\r\n\r\n"),
              421);
    const std::string local = std::to_string(port);
    for (const std::string &host :
         std::vector<std::string>{"127.0.0.1:" + local, "localhost:" + local, "LOCALHOST", "localhost.",
                                  "[::1]:" + local, "dash.example", "DASH.example:443"})
        EXPECT_EQ(status_of(port, get("/api/servers", "Host: " + host + "\r\n")), 200) << host;
    for (const std::string &host : std::vector<std::string>{"localhost.evil.example", "127.0.0.1.evil.example",
                                                            "localhost:" + local + "@evil.example", "[::1]evil", ""})
        EXPECT_EQ(status_of(port, get("/api/servers", "Host: " + host + "\r\n")), 421) << host;
    EXPECT_EQ(status_of(port, "GET /api/servers HTTP/1.0\r\n\r\n"), 421);  // no Host at all

    // With a token the token is what guards, under any name.
    Gateway guarded(with(unreachable_server(), {"--token", "k3y"}));
    ASSERT_GT(guarded.port(), 0);
    EXPECT_EQ(status_of(guarded.port(), get("/api/servers", evil)), 401);
    EXPECT_EQ(status_of(guarded.port(), get("/api/servers", evil + "Authorization: Bearer k3y\r\n")), 200);
}

TEST(WebFrontDoor, TheUpgradeWantsASixteenByteKeyAndEveryAnswerNamesOnlyTheGateway) {
    Gateway gateway(unreachable_server());
    const int port = gateway.port();
    ASSERT_GT(port, 0);
    for (const std::string &key :
         {std::string("!!"), std::string("AAAAAAAAAAAAAAAAAAAAAA"),  // 16 bytes, unpadded
          std::string("AAAAAAAAAAAAAAAAAAAA"),                       // 15 bytes
          std::string("AAAAAAAAAAAAAAAAAAAAAAAAAAAA"),               // 20 bytes
          std::string("!!!!!!!!!!!!!!!!!!!!!!=="), std::string("AAAAAAAAAAAAAAAAAAAAAA=A"), std::string("")})
        EXPECT_EQ(status_of(port, upgrade("", key)), 400) << key;
    EXPECT_EQ(status_of(port,
                        "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                        "Sec-WebSocket-Version: 13\r\n\r\n"),
              400);  // none at all

    Client page(port, "127.0.0.1");
    ASSERT_TRUE(page.send(upgrade()));
    ASSERT_EQ(page.status(), 101);
    EXPECT_NE(page.head().find("\r\nServer: orlex_web\r\n"), std::string::npos) << page.head();
    for (const std::string &request : {get("/"), get("/nosuch"), std::string("GARBAGE\r\n\r\n")}) {
        Client client(port, "127.0.0.1");
        ASSERT_TRUE(client.send(request));
        ASSERT_NE(client.status(), 0) << request;
        EXPECT_NE(client.head().find("\r\nServer: orlex_web\r\n"), std::string::npos) << client.head();
    }
}

TEST(WebFrontDoor, AServerFailingRightAfterOneGoodRecordIsTriedLessOftenAndLoggedOnce) {
    FakePlugin plugin;
    Gateway gateway({"--server", "flap=" + plugin.address()});
    ASSERT_GT(gateway.port(), 0);
    const std::string garbage(64 * 1024, 'A');
    std::vector<Clock::time_point> connects;
    for (int attempt = 0; attempt < 4; ++attempt) {
        ASSERT_TRUE(plugin.accept_gateway()) << attempt;
        connects.push_back(Clock::now());
        ASSERT_TRUE(plugin.send(samples::server("de_good")));
        ASSERT_TRUE(plugin.send_until_dropped(garbage, 256 * garbage.size())) << attempt;
    }
    // Waits of 1, 2 and 4 s: the good record does not start them again.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(connects[3] - connects[2]).count(), 3500);
    // Connected, then failing: two changes of state, however many attempts.
    const std::string log = gateway.process().err();
    EXPECT_EQ(count_of(log, "orlex_web: flap ("), 2u) << log;
    EXPECT_EQ(count_of(log, "flap (" + plugin.address() + ") connected"), 1u) << log;
}
