#include "net/tcp_server.h"

#include <memory>
#include <string>

#include "host/cvars.h"
#include "support/sockets.h"
#include "unit/plugin_fixture.h"

using testing_support::TcpClient;
using testing_support::wait_until;

namespace {

class TcpServerTest : public PluginFixture {
protected:
    void SetUp() override { attach(); }
    void TearDown() override { server->stoplistening(); }

    // A listener on 127.0.0.1 with `pool` slots, as the frame loop opens it.
    void listen(int pool) {
        set_portpool(pool);
        cvar_set_whole(orlex_port_avail, portpool);
        port = testing_support::free_port();
        ASSERT_EQ(server->init(port, "127.0.0.1"), 0);
    }
    // Runs connection checks until the slot is taken.
    bool accept_into(int slot) {
        return wait_until([&] {
            server->update_connections();
            return server->check_if_open(slot) == 0;
        });
    }
    int avail() const { return cvar_whole(orlex_port_avail); }

    std::unique_ptr<tcp_server> server = std::make_unique<tcp_server>();
    int port = 0;
};

}  // namespace

TEST_F(TcpServerTest, AcceptsOneClientPerCallIntoTheLowestFreeSlot) {
    listen(10);
    TcpClient first(port), second(port);
    ASSERT_TRUE(accept_into(0));
    EXPECT_EQ(server->check_if_open(1), -1);  // one accept per call
    ASSERT_TRUE(accept_into(1));
    EXPECT_TRUE(engine.log().contains("[ORLEX] Connect::0\n"));
    EXPECT_TRUE(engine.log().contains("[ORLEX] Connect::1\n"));
    EXPECT_EQ(avail(), 8);
}

TEST_F(TcpServerTest, FullPoolLeavesTheNextClientWaitingUntilASlotFrees) {
    listen(2);
    TcpClient first(port), second(port);
    ASSERT_TRUE(accept_into(0));
    ASSERT_TRUE(accept_into(1));
    TcpClient third(port);
    ASSERT_TRUE(third.connected());  // waits in the backlog
    for (int i = 0; i < 10; ++i)
        server->update_connections();
    EXPECT_EQ(engine.log().count("Connect::"), 2);
    EXPECT_EQ(avail(), 0);

    first.close();
    char buffer[256];
    ASSERT_TRUE(wait_until([&] { return server->get_input(0, buffer, 255) == 0; }));
    EXPECT_TRUE(engine.log().contains("[ORLEX] Disconnect(1)::0\n"));
    EXPECT_EQ(avail(), 1);
    EXPECT_EQ(server->check_if_open(0), -1);

    ASSERT_TRUE(accept_into(0));
    ASSERT_TRUE(third.send("GET_SERVER\r\n"));
    int count = -1;
    ASSERT_TRUE(wait_until([&] { return (count = server->get_input(0, buffer, 255)) > 0; }));
    EXPECT_EQ(std::string(buffer, count), "GET_SERVER\r\n");
}

TEST_F(TcpServerTest, InvalidAndFreeSlotsAreRefusedSilently) {
    listen(4);
    const auto logged = engine.log().written();
    char buffer[256];
    for (int slot : {-1, 0, 3, 4, 100, 1000}) {
        EXPECT_EQ(server->get_input(slot, buffer, 255), -1) << slot;
        EXPECT_EQ(server->check_if_open(slot), -1) << slot;
    }
    EXPECT_EQ(server->send_data(-1, "x", 1), -3);
    EXPECT_EQ(server->send_data(4, "x", 1), -3);
    EXPECT_EQ(server->send_data(0, "x", 1), -2);
    server->close_connection(-1);
    server->close_connection(2);
    EXPECT_EQ(engine.log().written(), logged);
}

TEST_F(TcpServerTest, NothingWaitingReadsAsMinusOneAndKeepsTheClient) {
    listen(2);
    TcpClient client(port);
    ASSERT_TRUE(accept_into(0));
    char buffer[256];
    EXPECT_EQ(server->get_input(0, buffer, 255), -1);
    EXPECT_EQ(server->check_if_open(0), 0);
}

TEST_F(TcpServerTest, ClientThatStopsReadingIsCutOffWithoutStallingTheOthers) {
    listen(3);
    TcpClient stalled(port, 4096);
    ASSERT_TRUE(accept_into(0));
    TcpClient reader(port);
    ASSERT_TRUE(accept_into(1));

    const std::string record = "TYPE\tPLAYER\n" + std::string(4900, 'p') + "\n\n";
    std::string received;
    int sends = 0;
    while (server->check_if_open(0) == 0 && sends < 20000) {
        server->send_data(0, record.data(), static_cast<int>(record.size()));
        ASSERT_EQ(server->send_data(1, record.data(), static_cast<int>(record.size())),
                  static_cast<int>(record.size()));
        ++sends;
        received += reader.receive_now();
    }
    EXPECT_EQ(server->check_if_open(0), -1);
    EXPECT_TRUE(engine.log().contains("[ORLEX] Disconnect(3)::0\n"));
    EXPECT_TRUE(stalled.closed_by_peer());

    received += reader.receive(sends * record.size() - received.size());
    ASSERT_EQ(received.size(), sends * record.size());
    for (int i = 0; i < sends; ++i)
        ASSERT_EQ(received.compare(i * record.size(), record.size(), record), 0) << "record " << i;
    EXPECT_EQ(server->check_if_open(1), 0);
}

TEST_F(TcpServerTest, AddressThatDoesNotParseFailsAtBind) {
    set_portpool(10);
    testing::internal::CaptureStderr();
    EXPECT_EQ(server->init(testing_support::free_port(), "not.an.address"), -1);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(engine.log().contains("[ORLEX] Socket assigned to IP 255.255.255.255\n"));
    EXPECT_TRUE(engine.log().contains("[ORLEX] Error binding socket\n"));
    EXPECT_EQ(errors.rfind("two: ", 0), 0u) << errors;
    server->update_connections();  // harmless without a listener
}

TEST_F(TcpServerTest, ZeroAddressListensEverywhere) {
    set_portpool(10);
    port = testing_support::free_port();
    ASSERT_EQ(server->init(port, "0"), 0);
    EXPECT_TRUE(engine.log().contains("[ORLEX] Socket assigned to IP 0.0.0.0\n"));
    EXPECT_TRUE(engine.log().contains("[ORLEX] Success establishing listener\n"));
    TcpClient client(port);
    EXPECT_TRUE(accept_into(0));
}

TEST_F(TcpServerTest, PortOutsideTheRangeOpensNothing) {
    set_portpool(10);
    EXPECT_EQ(server->init(65536 + 40015, "127.0.0.1"), -1);
    EXPECT_TRUE(engine.log().contains("[ORLEX] Invalid port 105551 for the TCP listener\n"));
    EXPECT_FALSE(engine.log().contains("socket assigned to port"));
    EXPECT_EQ(server->init(0, "127.0.0.1"), -1);
}

TEST_F(TcpServerTest, StopClosesEveryClientThenTheListener) {
    listen(10);
    TcpClient first(port), second(port);
    ASSERT_TRUE(accept_into(0));
    ASSERT_TRUE(accept_into(1));
    server->stoplistening();
    const auto &log = engine.log().entries();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
              (std::vector<std::string>{"[ORLEX] Disconnect(2)::0\n", "[ORLEX] Disconnect(2)::1\n",
                                        "[ORLEX] Stopping listener\n"}));
    EXPECT_EQ(avail(), 10);
    EXPECT_TRUE(first.closed_by_peer());
    EXPECT_TRUE(second.closed_by_peer());
    TcpClient late(port);
    EXPECT_FALSE(late.connected());
}

TEST(PortPool, ClampedToTheSlotTableWithOneMessage) {
    simhost::Engine engine{simhost::EngineConfig()};
    GiveFnptrsToDll(engine.functions(), engine.globals());
    set_portpool(10);
    EXPECT_EQ(portpool, 10);
    EXPECT_TRUE(engine.log().entries().empty());
    set_portpool(150);
    EXPECT_EQ(portpool, 100);
    set_portpool(-3);
    EXPECT_EQ(portpool, 0);
    EXPECT_EQ(engine.log().count("[ORLEX] orlex_port_pool"), 2);
}
