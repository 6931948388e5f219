// The simulated server's remote console on a real UDP port, answered as the engine answers: the
// refusals, the failure ban, the size and rate limits, one command per request, split answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "simhost/rcon_server.h"
#include "simhost/rcon_wire.h"
#include "support/sockets.h"

namespace {

const std::string FF = "\xff\xff\xff\xff";

class RconServerTest : public ::testing::Test {
protected:
    RconServerTest() : console(cvars, log, bans, [](const std::string &command) { return "ran: " + command + "\n"; }) {
        port = testing_support::free_port();
        std::string error;
        EXPECT_TRUE(console.open("127.0.0.1", port, &error)) << error;
        client = socket(AF_INET, SOCK_DGRAM, 0);
        cvars.set("rcon_password", "two words");
    }
    ~RconServerTest() override { close(client); }

    void send(const std::string &bytes) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<unsigned short>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sendto(client, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof(to));
    }
    // Every answer, the server polled until a quiet moment.
    std::vector<std::string> answers() {
        std::vector<std::string> answers;
        for (int quiet = 0; quiet < 20; ++quiet) {
            console.poll(now);
            pollfd waiting{client, POLLIN, 0};
            if (poll(&waiting, 1, 5) <= 0)
                continue;
            char buffer[4096];
            const ssize_t got = recv(client, buffer, sizeof(buffer), 0);
            if (got > 0)
                answers.emplace_back(buffer, static_cast<size_t>(got));
            quiet = 0;
        }
        return answers;
    }
    std::vector<std::string> exchange(const std::string &bytes) {
        send(bytes);
        return answers();
    }
    std::string challenge() {
        const std::vector<std::string> answer = exchange(FF + "challenge rcon\n");
        EXPECT_EQ(answer.size(), 1u);
        const std::string text = answer.empty() ? "" : answer[0];
        EXPECT_EQ(text.compare(0, 19, FF + "challenge rcon "), 0) << text;
        return text.substr(19, text.find('\n') - 19);
    }
    std::string command(const std::string &challenge, const std::string &password, const std::string &line) {
        const std::vector<std::string> answer = exchange(FF + "rcon " + challenge + " \"" + password + "\" " + line);
        return answer.empty() ? "(nothing)" : answer[0];
    }

    simhost::CvarRegistry cvars;
    simhost::ServerLog log;
    simhost::BanList bans;
    simhost::RconServer console;
    int port = 0;
    int client = -1;
    double now = 1.0;
};

TEST_F(RconServerTest, OneCommandPerRequestAndTheRefusals) {
    const std::string number = challenge();
    EXPECT_EQ(challenge(), number);  // stable for the address
    EXPECT_EQ(exchange(FF + "challenge RCON\n").size(), 1u);
    EXPECT_EQ(exchange(FF + "challenge other\n").size(), 0u);

    // A ';' does not split it, an unbalanced quote is tolerated, and the password may hold blanks.
    EXPECT_EQ(command(number, "two words", "say a; quit \"q"), FF + "lran: say a; quit \"q\n" + std::string(2, '\0'));
    EXPECT_TRUE(log.contains("Rcon: \"rcon " + number + " \"two words\" say a; quit \"q\" from \"127.0.0.1:"));

    EXPECT_EQ(command("1", "two words", "status"), FF + "9No challenge for your address.\n");
    EXPECT_EQ(command(number, "guess", "status"), FF + "lBad rcon_password.\n" + std::string(2, '\0'));
    EXPECT_EQ(log.count("Bad Rcon: "), 1);
    cvars.set("rcon_password", "");
    EXPECT_EQ(command(number, "", "status"),
              FF + "lBad rcon_password.\nNo password set for this server.\n" + std::string(2, '\0'));

    // 512 bytes after the four or more: no answer and no log line.
    cvars.set("rcon_password", "two words");
    const std::string head = "rcon " + number + " \"two words\" say ";
    const size_t written = log.written();
    EXPECT_EQ(exchange(FF + head + std::string(512 - head.size(), 'x')).size(), 0u);
    EXPECT_EQ(log.written(), written);
    EXPECT_EQ(exchange(FF + head + std::string(511 - head.size(), 'x')).size(), 1u);
}

TEST_F(RconServerTest, FiveQuickFailuresGetTheAddressBanned) {
    const std::string number = challenge();
    for (int failure = 0; failure < 5; ++failure) {
        EXPECT_EQ(command(number, "guess", "status"), FF + "lBad rcon_password.\n" + std::string(2, '\0'));
        now += 1.0;
    }
    EXPECT_TRUE(log.contains("will be banned for rcon hacking"));
    // The sixth is refused and bans: addip runs on the console, and the list is the engine's.
    EXPECT_EQ(command(number, "two words", "status"), FF + "lBad rcon_password.\n" + std::string(2, '\0'));
    bans.ban_ip("127.0.0.1");  // what the console's addip (here only echoed) does
    const std::string banned = FF + "lYou have been banned from this server.\n" + std::string(2, '\0');
    EXPECT_EQ(command(number, "two words", "status"), banned);
    EXPECT_EQ(exchange(FF + "challenge rcon\n"), std::vector<std::string>{banned});
}

TEST_F(RconServerTest, FailuresSpreadOverTimeAreForgiven) {
    const std::string number = challenge();
    for (int failure = 0; failure < 8; ++failure) {
        command(number, "guess", "status");
        now += 10.0;
    }
    EXPECT_FALSE(log.contains("will be banned"));
    EXPECT_EQ(command(number, "two words", "status").substr(0, 10), FF + "lran: ");
}

TEST_F(RconServerTest, OverTheRateEverythingIsDropped) {
    size_t answered = 0;
    for (int batch = 0; batch < 37; ++batch) {
        for (int request = 0; request < 5; ++request)
            send(FF + "challenge rcon\n");
        answered += answers().size();
    }
    EXPECT_EQ(answered, 180u);
    now += 60.0;  // a new window
    EXPECT_EQ(exchange(FF + "challenge rcon\n").size(), 1u);
}

TEST(RconWire, LongOutputIsSplitIntoPrintDatagrams) {
    std::string output;
    for (int line = 0; line < 100; ++line)
        output += "line " + std::to_string(line) + " of a long answer\n";
    const std::vector<std::string> datagrams = simhost::print_datagrams(output);
    ASSERT_EQ(datagrams.size(), 2u);
    std::string joined;
    for (const std::string &datagram : datagrams) {
        EXPECT_LE(datagram.size(), simhost::PRINT_DATAGRAM);
        EXPECT_EQ(datagram.substr(0, 5), FF + "l");
        EXPECT_EQ(datagram.substr(datagram.size() - 2), std::string(2, '\0'));
        joined += datagram.substr(5, datagram.size() - 7);
    }
    EXPECT_EQ(joined, output);
    EXPECT_EQ(simhost::print_datagrams(""), std::vector<std::string>{FF + "l" + std::string(2, '\0')});
}

}  // namespace
