// Administering over rcon end to end: orlex_web and the simulated server (with the built plug-in)
// as real processes, actions POSTed to the gateway's API, the commands going to the server's
// remote console over UDP. What reaches the server is read from its own log, sent to the test as
// logaddress_add sends it: every command it takes writes an `Rcon:` line, every refused password a
// `Bad Rcon:` line.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/json/parse.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/sockets.h"
#include "web/access/users.h"
#include "web/harness.h"

using web_testing::Gateway;
using web_testing::HttpReply;
using web_testing::kWait;
using web_testing::SimServer;

namespace {

namespace json = boost::json;

const char kAdminToken[] = "rcon-admin-token-5";
const char kServerPassword[] = "right-pw-31";

// The simulated server's log, as its log address gets it.
class LogReceiver {
public:
    LogReceiver() : socket_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        bind(socket_, reinterpret_cast<sockaddr *>(&address), size);
        getsockname(socket_, reinterpret_cast<sockaddr *>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~LogReceiver() { ::close(socket_); }
    int port() const { return port_; }
    // Every line received so far (the datagrams waiting are read first).
    const std::vector<std::string> &lines() {
        pollfd ready{socket_, POLLIN, 0};
        char datagram[2048];
        while (poll(&ready, 1, 0) == 1) {
            const ssize_t size = recv(socket_, datagram, sizeof(datagram), 0);
            if (size > 10)
                lines_.emplace_back(datagram + 4, std::string(datagram + 4, size - 4).find('\0'));
        }
        return lines_;
    }
    // Lines holding `text`.
    size_t count(const std::string &text) {
        size_t found = 0;
        for (const std::string &line : lines())
            found += line.find(text) != std::string::npos;
        return found;
    }

private:
    int socket_;
    int port_ = 0;
    std::vector<std::string> lines_;
};

std::string read_file(const std::string &path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void write_file(const std::string &path, const std::string &text) {
    const std::string temporary = path + ".new";
    std::ofstream(temporary) << text;
    std::rename(temporary.c_str(), path.c_str());
}

// The simulated server with an rcon password and bots, the gateway watching it with an admin user
// whose password file holds `gateway_password`.
class Administered {
public:
    explicit Administered(const std::string &gateway_password) {
        char folder[] = "/tmp/orlex_rcon_e2e_XXXXXX";
        folder_ = mkdtemp(folder);
        write_file(folder_ + "/server_password", std::string(kServerPassword) + "\n");
        write_password(gateway_password);
        write_file(folder_ + "/users", "boss admin " + web::access::token_hash(kAdminToken) + "\n");
        game_port_ = testing_support::free_port();
        server_ = std::make_unique<SimServer>(
            "cstrike", 6, 0,
            // A report a second rather than every five: the kick shows sooner, the test ends sooner.
            std::vector<std::string>{"--set", "orlex_timer_refresh=1", "--hostport", std::to_string(game_port_),
                                     "--rcon-password-file", folder_ + "/server_password", "--exec",
                                     "logaddress_add 127.0.0.1 " + std::to_string(log_.port())});
        write_file(folder_ + "/servers",
                   "sim " + server_->address() + " rcon-password-file=" + folder_ + "/gateway_password\n");
        gateway_ = std::make_unique<Gateway>(std::vector<std::string>{
            "--config", folder_ + "/servers", "--users", folder_ + "/users", "--audit", folder_ + "/audit"});
        // Its SERVER record (the game port rcon goes to) and the bots in its PLAYER record.
        EXPECT_TRUE(testing_support::wait_until(
            [this] {
                const json::object detail = state();
                return detail.contains("server") && detail.at("server").is_object() && user_ids().size() >= 6;
            },
            kWait));
    }
    ~Administered() { std::system(("rm -rf " + folder_).c_str()); }

    void write_password(const std::string &password) { write_file(folder_ + "/gateway_password", password + "\n"); }
    json::object state() {
        boost::system::error_code error;
        const json::value parsed =
            json::parse(web_testing::http_get(gateway_->port(), "/api/servers/sim", bearer()).body, error);
        return !error && parsed.is_object() ? parsed.as_object() : json::object();
    }
    std::vector<int64_t> user_ids() {
        std::vector<int64_t> ids;
        const json::object detail = state();
        if (detail.contains("players") && detail.at("players").is_array())
            for (const json::value &player : detail.at("players").as_array())
                ids.push_back(player.at("user_id").as_int64());
        return ids;
    }
    bool present(int64_t user_id) {
        const std::vector<int64_t> ids = user_ids();
        return std::find(ids.begin(), ids.end(), user_id) != ids.end();
    }
    HttpReply act(const std::string &body) {
        return web_testing::http_exchange(gateway_->port(),
                                          "POST /api/servers/sim/actions HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                          "Connection: close\r\nContent-Type: application/json\r\n" +
                                              bearer() + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                              body);
    }
    std::string rcon_state() { return web_testing::http_get(gateway_->port(), "/api/servers/sim/rcon", bearer()).body; }
    std::string audit() const { return read_file(folder_ + "/audit"); }
    static std::string bearer() { return std::string("Authorization: Bearer ") + kAdminToken + "\r\n"; }

    LogReceiver log_;
    std::string folder_;
    int game_port_ = 0;
    std::unique_ptr<SimServer> server_;
    std::unique_ptr<Gateway> gateway_;
};

TEST(WebAccessRcon, AnAdminKicksABotAndTheNextPlayerRecordLacksIt) {
    Administered match(kServerPassword);
    ASSERT_GT(match.gateway_->port(), 0);
    const int64_t kicked = match.user_ids().at(0);
    const HttpReply reply =
        match.act(R"({"action":"kick","user_id":)" + std::to_string(kicked) + R"(,"reason":"camping"})");
    ASSERT_EQ(reply.status, 200) << reply.body;
    EXPECT_EQ(reply.body.rfind(R"({"ok":true,"output":)", 0), 0u) << reply.body;
    // The server took it as one command, and the bot is gone from the next PLAYER record for good.
    EXPECT_TRUE(testing_support::wait_until([&] { return !match.present(kicked); }, kWait));
    EXPECT_EQ(match.log_.count("Rcon: \"rcon "), 1u);
    EXPECT_EQ(match.log_.count("kick #" + std::to_string(kicked) + " \"camping\""), 1u);
    EXPECT_TRUE(testing_support::wait_until(
        [&] { return match.log_.count("was kicked by \"Console\" (message \"camping\")") == 1; }, kWait));
    // Its line was in the audit file when the answer came.
    const std::string audit = match.audit();
    EXPECT_NE(audit.find(R"("user":"boss","server":"sim","action":"kick","target":{"name":)"), std::string::npos)
        << audit;
    EXPECT_NE(audit.find("\"user_id\":" + std::to_string(kicked)), std::string::npos) << audit;
    EXPECT_NE(audit.find(R"("result":{"ok":true)"), std::string::npos) << audit;
    EXPECT_EQ(audit.find(kServerPassword), std::string::npos);
    EXPECT_EQ(match.gateway_->process().err().find(kServerPassword), std::string::npos);
}

TEST(WebAccessRcon, ArgumentsThatCouldBreakTheConsoleLineReachNothing) {
    Administered match(kServerPassword);
    const std::string user = std::to_string(match.user_ids().at(0));
    const std::string refused[] = {
        R"({"action":"kick","user_id":)" + user + R"(,"reason":"bye; quit"})",
        R"({"action":"kick","user_id":)" + user + R"(,"reason":"bye\r\nquit"})",
        R"({"action":"kick","user_id":)" + user + R"(,"reason":"bye\nquit"})",
        R"({"action":"kick","user_id":)" + user + R"(,"reason":"say \"hi"})",
        R"({"action":"say","text":"a;b"})",
        R"({"action":"say","text":"a\rb"})",
        R"({"action":"changelevel","map":"de_dust\"; quit"})",
        R"({"action":"set","name":"mp_timelimit","value":"30;quit"})",
        R"({"action":"ban","user_id":"1; quit","minutes":0})",
    };
    for (const std::string &body : refused) {
        const HttpReply reply = match.act(body);
        EXPECT_EQ(reply.status, 400) << body << " -> " << reply.body;
    }
    // A command after them is the first the server gets.
    ASSERT_EQ(match.act(R"({"action":"say","text":"the only line"})").status, 200);
    EXPECT_TRUE(testing_support::wait_until([&] { return match.log_.count("say the only line") == 1; }, kWait));
    EXPECT_EQ(match.log_.count("Rcon: \"rcon "), 1u);
    EXPECT_EQ(match.user_ids().size(), 6u);
}

TEST(WebAccessRcon, AWrongPasswordIsSentOnceAndNothingMoreUntilItsFileChanges) {
    Administered match("wrong-pw-77");
    const int64_t target = match.user_ids().at(0);
    EXPECT_EQ(match.rcon_state(), R"({"ok":true,"state":"ready"})");
    const std::string kick = R"({"action":"kick","user_id":)" + std::to_string(target) + "}";
    const HttpReply first = match.act(kick);
    EXPECT_EQ(first.status, 409) << first.body;
    EXPECT_EQ(first.body, R"({"ok":false,"error":"rcon password refused"})");
    // The API says so from then on, and sends nothing: not for actions, not for the map list.
    for (const std::string &body : {kick, std::string(R"({"action":"say","text":"again"})")}) {
        const HttpReply again = match.act(body);
        EXPECT_EQ(again.status, 409);
        EXPECT_EQ(again.body, first.body);
    }
    const HttpReply maps = web_testing::http_get(match.gateway_->port(), "/api/servers/sim/maps", match.bearer());
    EXPECT_EQ(maps.status, 409);
    EXPECT_EQ(maps.body, first.body);
    EXPECT_TRUE(testing_support::wait_until([&] { return match.log_.count("Bad Rcon: ") == 1; }, kWait));
    EXPECT_NE(match.audit().find("rcon password refused"), std::string::npos);
    EXPECT_TRUE(match.present(target));
    EXPECT_EQ(match.rcon_state(), R"({"ok":true,"state":"rcon password refused"})");

    // Someone fixes the file: the next action goes through, and the server saw one wrong password.
    match.write_password(kServerPassword);
    ASSERT_TRUE(testing_support::wait_until(
        [&] { return match.gateway_->process().err().find("rcon is used again") != std::string::npos; }, kWait));
    const HttpReply fixed = match.act(R"({"action":"say","text":"fixed now"})");
    EXPECT_EQ(fixed.status, 200) << fixed.body;
    EXPECT_TRUE(testing_support::wait_until([&] { return match.log_.count("say fixed now") == 1; }, kWait));
    EXPECT_EQ(match.rcon_state(), R"({"ok":true,"state":"ready"})");
    EXPECT_EQ(match.log_.count("Bad Rcon: "), 1u);
    EXPECT_EQ(match.log_.count("Rcon: \"rcon "), 2u);  // the refused one and this one
    EXPECT_EQ(match.gateway_->process().err().find("wrong-pw-77"), std::string::npos);
    EXPECT_EQ(match.gateway_->process().err().find(kServerPassword), std::string::npos);
}

}  // namespace
