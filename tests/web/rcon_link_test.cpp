// The gateway's rcon link against the simulated server's remote console, both in this process:
// the server with the built plug-in on a game port of the test's own, real UDP on 127.0.0.1, the
// server's frames and the link's event loop driven in turn by the test.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <boost/asio/io_context.hpp>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/live_server.h"
#include "simhost/console_commands.h"
#include "simhost/rcon_server.h"
#include "support/sockets.h"
#include "web/rcon/rcon_link.h"

namespace {

using web::rcon::Answer;
using web::rcon::LinkState;
using Outcome = Answer::Outcome;
using Clock = std::chrono::steady_clock;

const int kBoundMs = 20000;  // never reached when all is well

class RconLinkTest : public e2e::LiveServerTest {
protected:
    RconLinkTest() {
        game_port = testing_support::free_port();
        options.engine.hostport = options.engine.port = game_port;
        options.settings.push_back({"rcon_password", "secret"});
        password_path = files / "rcon_password";
        write_password("secret");
    }
    ~RconLinkTest() override { links.reset(); }

    void start_all() {
        start_listening();
        open_console();
        links = std::make_unique<web::rcon::Links>(io);
        links->configure({server_line()});
        links->set_game_port("arena", game_port);
    }
    // The server's console, as it comes back after a restart: a new challenge.
    void open_console() {
        console.reset();
        console = std::make_unique<simhost::RconServer>(server->engine().cvars(), log(), server->bans(),
                                                        [this](const std::string &command) {
                                                            std::string output;
                                                            simhost::run_console_line(*server, command, &output);
                                                            return output;
                                                        });
        std::string error;
        ASSERT_TRUE(console->open("127.0.0.1", game_port, &error)) << error;
    }
    web::ServerAddress server_line(const std::string &rcon = "") {
        web::ServerAddress line{"arena", "127.0.0.1", port};
        line.settings["rcon-password-file"] = password_path.string();
        if (!rcon.empty())
            line.settings["rcon"] = rcon;
        return line;
    }
    void write_password(const std::string &text) {
        std::ofstream(password_path, std::ios::trunc) << text << "\n";
        // A new time as well as new text, however coarse the file system's clock.
        std::filesystem::last_write_time(
            password_path, std::filesystem::file_time_type::clock::now() + std::chrono::seconds(++file_generation));
    }
    // Frames of the server and the link's loop, in turn, until the condition holds (bounded).
    bool until(const std::function<bool()> &done, int milliseconds = kBoundMs) {
        const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
        while (!done()) {
            if (Clock::now() > end)
                return false;
            step();
        }
        return true;
    }
    void step() {
        io.poll();
        io.restart();
        if (console)
            console->poll(server->engine().time());
        server->run_frame();
        usleep(1000);
    }
    Answer ask(const std::string &command) {
        std::optional<Answer> answer;
        links->send("arena", command, [&answer](Answer got) { answer = std::move(got); });
        EXPECT_TRUE(until([&] { return answer.has_value(); })) << command;
        return answer.value_or(Answer{Outcome::stopped, ""});
    }
    int user_id_of(edict_t *player) { return server->engine().world().player_info(player)->user_id; }

    int game_port = 0;
    int file_generation = 0;
    std::filesystem::path password_path;
    std::unique_ptr<simhost::RconServer> console;
    boost::asio::io_context io;
    std::unique_ptr<web::rcon::Links> links;
};

TEST_F(RconLinkTest, CommandsComeBackWithTheirWholeAnswer) {
    start_all();
    for (int number = 0; number < 24; ++number)
        join("Player" + std::to_string(number));
    EXPECT_EQ(links->state("arena"), LinkState::ready);
    EXPECT_STREQ(web::rcon::describe(LinkState::ready), "ready");

    // status on 24 players is more than one 1,400-byte print datagram: all of it, in order.
    const Answer status = ask("status");
    ASSERT_EQ(status.outcome, Outcome::ok);
    EXPECT_GT(status.output.size(), 1400u);
    EXPECT_LT(status.output.find("Player0\""), status.output.find("Player23\""));
    EXPECT_EQ(status.output.find("\n#slot"), status.output.rfind("\n#slot"));

    // A command that prints nothing is an empty answer, not a timeout; the challenge was reused.
    const Answer quiet = ask("mp_timelimit 30");
    EXPECT_EQ(quiet.outcome, Outcome::ok);
    EXPECT_EQ(quiet.output, "");
    EXPECT_EQ(*server->engine().cvars().find("mp_timelimit")->string, '3');
    EXPECT_EQ(log().count("Rcon: \"rcon "), 2);
}

TEST_F(RconLinkTest, KickedPlayerIsGoneFromTheNextPlayerRecord) {
    start_all();
    join("Keeper");
    edict_t *cheater = join("Cheater");
    auto client = connect_client();
    const int user_id = user_id_of(cheater);

    const Answer kicked = ask("kick #" + std::to_string(user_id) + " \"wall hack\"");
    ASSERT_EQ(kicked.outcome, Outcome::ok);
    EXPECT_TRUE(log().contains("\"Cheater<" + std::to_string(user_id) + "><"));
    EXPECT_TRUE(log().contains("(message \"wall hack\")"));

    // The next PLAYER record the plug-in builds (on its 5-second refresh), as a request returns it.
    run(5.5);
    client->receive(10);
    client->send("GET_PLAYER\n");
    records::Record players;
    ASSERT_TRUE(until([&] {
        for (const records::Record &record : client->receive(0))
            if (record.type == "PLAYER")
                players = record;
        return !players.type.empty();
    }));
    EXPECT_NE(players.text.find("Keeper"), std::string::npos);
    EXPECT_EQ(players.text.find("Cheater"), std::string::npos);
}

TEST_F(RconLinkTest, WrongPasswordIsSentOnceThenNothingUntilTheFileChanges) {
    write_password("guess");
    start_all();
    std::vector<Outcome> outcomes;
    for (int command = 0; command < 3; ++command)
        links->send("arena", "status", [&outcomes](Answer got) { outcomes.push_back(got.outcome); });
    ASSERT_TRUE(until([&] { return outcomes.size() == 3; }));
    EXPECT_EQ(outcomes, std::vector<Outcome>(3, Outcome::password_refused));
    EXPECT_EQ(links->state("arena"), LinkState::password_refused);
    EXPECT_STREQ(web::rcon::describe(LinkState::password_refused), "rcon password refused");
    EXPECT_EQ(ask("status").outcome, Outcome::password_refused);

    // The same wrong text written again is no change: still nothing goes out.
    write_password("guess");
    until([] { return false; }, 1500);
    EXPECT_EQ(ask("status").outcome, Outcome::password_refused);
    EXPECT_EQ(log().count("Bad Rcon: "), 1);

    write_password("secret");
    ASSERT_TRUE(until([&] { return links->state("arena") == LinkState::ready; }));
    EXPECT_EQ(ask("status").outcome, Outcome::ok);
    EXPECT_EQ(log().count("Bad Rcon: "), 1);
}

TEST_F(RconLinkTest, StaleChallengeIsFetchedAgainOnce) {
    start_all();
    ASSERT_EQ(ask("status").outcome, Outcome::ok);
    open_console();  // the server restarted: the link's challenge is no longer known
    const Answer again = ask("status");
    EXPECT_EQ(again.outcome, Outcome::ok);
    EXPECT_NE(again.output.find("players:"), std::string::npos);
    EXPECT_EQ(log().count("Rcon: \"rcon "), 2);
    EXPECT_EQ(log().count("Bad Rcon: "), 0);
}

TEST_F(RconLinkTest, BannedAddressStopsTheLink) {
    start_all();
    std::string output;
    simhost::run_console_line(*server, "addip 0 127.0.0.1", &output);
    EXPECT_EQ(ask("status").outcome, Outcome::banned);
    EXPECT_EQ(links->state("arena"), LinkState::banned);
    EXPECT_STREQ(web::rcon::describe(LinkState::banned), "the server has banned the gateway's address");
    EXPECT_EQ(ask("status").outcome, Outcome::banned);
}

TEST_F(RconLinkTest, QueueHoldsSixteenBehindTheCommandInFlight) {
    start_all();
    ASSERT_EQ(ask("status").outcome, Outcome::ok);
    std::vector<Outcome> outcomes;
    for (int command = 0; command < 20; ++command)
        links->send("arena", "status", [&outcomes](Answer got) { outcomes.push_back(got.outcome); });
    until([&] { return outcomes.size() >= 3; });
    EXPECT_EQ(outcomes, std::vector<Outcome>(3, Outcome::queue_full));
    links->configure({});  // the server left the configuration: what waits is answered
    ASSERT_TRUE(until([&] { return outcomes.size() == 20; }));
    EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), Outcome::queue_full), 3);
}

// A console of the test's own on a UDP socket: answers at once, so only the link's pacing spaces
// its datagrams; or says nothing.
class FakeConsole {
public:
    FakeConsole() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr *>(&at), sizeof(at));
        socklen_t length = sizeof(at);
        getsockname(fd_, reinterpret_cast<sockaddr *>(&at), &length);
        port_ = ntohs(at.sin_port);
    }
    ~FakeConsole() { close(fd_); }
    int port() const { return port_; }
    // Takes what waits; answers each datagram when `answer` is set.
    void serve(bool answer) {
        pollfd waiting{fd_, POLLIN, 0};
        while (poll(&waiting, 1, 0) > 0) {
            char buffer[2048];
            sockaddr_in from{};
            socklen_t length = sizeof(from);
            const ssize_t got = recvfrom(fd_, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr *>(&from), &length);
            if (got <= 0)
                return;
            arrivals.push_back(Clock::now());
            const std::string text(buffer + 4, static_cast<size_t>(got) - 4);
            const std::string reply = text.rfind("challenge", 0) == 0
                                          ? std::string("\xff\xff\xff\xff") + "challenge rcon 7\n"
                                          : std::string("\xff\xff\xff\xffl") + "done\n" + '\0';
            if (answer)
                sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr *>(&from), length);
        }
    }
    std::vector<Clock::time_point> arrivals;

private:
    int fd_ = -1;
    int port_ = 0;
};

TEST_F(RconLinkTest, NoMoreThanTwoDatagramsASecond) {
    start_all();
    FakeConsole fake;
    links->configure({server_line("127.0.0.1:" + std::to_string(fake.port()))});
    std::vector<Answer> answers;
    for (int command = 0; command < 5; ++command)
        links->send("arena", "status", [&answers](Answer got) { answers.push_back(got); });
    ASSERT_TRUE(until([&] {
        fake.serve(true);
        return answers.size() == 5;
    }));
    ASSERT_EQ(fake.arrivals.size(), 6u);  // one challenge, reused by all five
    for (const Answer &answer : answers)
        EXPECT_EQ(answer.output, "done\n");
    // Arrival times carry the loopback's jitter: a little under the second is still two a second.
    for (size_t at = 2; at < fake.arrivals.size(); ++at)
        EXPECT_GE(fake.arrivals[at] - fake.arrivals[at - 2], std::chrono::milliseconds(950)) << at;
}

TEST_F(RconLinkTest, SilenceIsATimeout) {
    start_all();
    FakeConsole fake;
    links->configure({server_line("127.0.0.1:" + std::to_string(fake.port()))});
    std::optional<Answer> answer;
    links->send("arena", "status", [&answer](Answer got) { answer = got; });
    ASSERT_TRUE(until([&] {
        fake.serve(false);
        return answer.has_value();
    }));
    EXPECT_EQ(answer->outcome, Outcome::timeout);
    EXPECT_EQ(answer->output, "");
    EXPECT_EQ(links->state("arena"), LinkState::ready);
    EXPECT_EQ(links->state("elsewhere"), LinkState::no_password);
}

}  // namespace
