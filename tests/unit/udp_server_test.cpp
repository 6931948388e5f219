#include "net/udp_server.h"

#include <string>

#include "support/sockets.h"
#include "unit/plugin_fixture.h"

using testing_support::send_datagram;
using testing_support::wait_until;

namespace {

const std::string kHeader = "\xff\xff\xff\xff";

class UdpServerTest : public PluginFixture {
protected:
    void bind() {
        port = testing_support::free_port();
        ASSERT_TRUE(udp.setport(port, "127.0.0.1"));
    }
    // The next line, waiting for a datagram in flight to arrive.
    std::string next_line() {
        const char *line = nullptr;
        wait_until([&] { return (line = udp.getline(nullptr)) != nullptr; });
        return line ? line : "(none)";
    }

    udp_server udp;
    int port = 0;
};

}  // namespace

TEST_F(UdpServerTest, HandsOutTheLogLineWithoutHeaderOrLineFeed) {
    bind();
    send_datagram(port, kHeader + "log L 12/09/2026 - 14:06:43: \"Bob<7><BOT><>\" say \"hi\"\n" + std::string(1, '\0'));
    EXPECT_EQ(next_line(), "log L 12/09/2026 - 14:06:43: \"Bob<7><BOT><>\" say \"hi\"");
    EXPECT_EQ(udp.getline(nullptr), nullptr);
    EXPECT_TRUE(engine.log().entries().empty());
}

TEST_F(UdpServerTest, LinesOfOneDatagramComeOutOneACallBeforeTheNextDatagram) {
    bind();
    send_datagram(port, kHeader + "log first\nlog second\n");
    send_datagram(port, kHeader + "log third\n");
    EXPECT_EQ(next_line(), "log first");
    EXPECT_EQ(next_line(), "log second");
    EXPECT_EQ(next_line(), "log third");
}

TEST_F(UdpServerTest, EmptyLinesAreNotQueued) {
    bind();
    send_datagram(port, kHeader + std::string(2000, '\n'));
    send_datagram(port, "log after\n\n\n");
    EXPECT_EQ(next_line(), "log after");
    EXPECT_EQ(udp.getline(nullptr), nullptr);
}

TEST_F(UdpServerTest, TextEndsAtTheFirstNul) {
    bind();
    send_datagram(port, std::string("log kept") + '\0' + "dropped\n");
    EXPECT_EQ(next_line(), "log kept");
    EXPECT_EQ(udp.getline(nullptr), nullptr);
}

TEST_F(UdpServerTest, ReportsTheSender) {
    bind();
    send_datagram(port, "log x\n");
    sockaddr_in sender{};
    ASSERT_TRUE(wait_until([&] { return udp.getline(&sender) != nullptr; }));
    EXPECT_EQ(ntohl(sender.sin_addr.s_addr), INADDR_LOOPBACK);
}

TEST_F(UdpServerTest, NotReadyBeforeSetport) {
    EXPECT_FALSE(udp.isready());
    EXPECT_EQ(udp.getline(nullptr), nullptr);
    EXPECT_TRUE(engine.log().contains("[ORLEX] Attempting to get data on a non-ready UDP socket"));
    EXPECT_EQ(udp.senddata("127.0.0.1", 27015, "x"), 0u);
    EXPECT_TRUE(engine.log().contains("[ORLEX] Attempting to send data on a non-ready UDP socket"));
}

TEST_F(UdpServerTest, BindsOnlyOnce) {
    bind();
    EXPECT_TRUE(udp.isready());
    EXPECT_FALSE(udp.setport(port + 1, "127.0.0.1"));
    EXPECT_TRUE(engine.log().contains("[ORLEX] Attempting to set UDP port, already set to " + std::to_string(port)));
}

TEST_F(UdpServerTest, PortsOutsideTheRangeAreRefusedUncut) {
    EXPECT_FALSE(udp.setport(0, "127.0.0.1"));
    EXPECT_TRUE(engine.log().contains("[ORLEX] Invalid port 0 for UDP socket"));
    EXPECT_FALSE(udp.setport(65536 + 27015, "127.0.0.1"));  // not port 27015 cut to 16 bits
    EXPECT_TRUE(engine.log().contains("[ORLEX] Invalid port 92551 for UDP socket"));
    EXPECT_FALSE(udp.isready());
}

TEST_F(UdpServerTest, FailedBindCanBeTriedAgain) {
    const int port = testing_support::free_port();
    EXPECT_FALSE(udp.setport(port, "not an address"));
    EXPECT_TRUE(engine.log().contains("[ORLEX] Unable to bind UDP socket to port " + std::to_string(port)));
    EXPECT_TRUE(udp.setport(port, "127.0.0.1"));
}

TEST_F(UdpServerTest, SendsToAHostByName) {
    bind();
    EXPECT_EQ(udp.senddata("127.0.0.1", static_cast<unsigned short>(port), "log to myself\n"), 1u);
    EXPECT_EQ(next_line(), "log to myself");
}
