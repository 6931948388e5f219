// When and where the plug-in opens its sockets, and what it writes back.
#include "e2e/live_server.h"

using e2e::LiveServerTest;

namespace {

class ListenerStartTest : public LiveServerTest {
protected:
    // The port comes from the engine's variables instead of the test's setting.
    void derive_port() { options.settings.clear(); }
};

}  // namespace

TEST_F(ListenerStartTest, DefaultPortIsTheGamePortPlus13000ForBothSockets) {
    derive_port();
    options.engine.hostport = options.engine.port = port - 13000;
    start_listening();
    EXPECT_EQ(cvar("orlex_mm_port"), std::to_string(port));
    EXPECT_EQ(cvar("orlex_mm_udp_port"), std::to_string(port));
    EXPECT_EQ(cvar("orlex_port_avail"), "10");
    EXPECT_EQ(cvar("orlex_mm_ip"), "0");
    EXPECT_TRUE(log().contains("[ORLEX] Socket assigned to IP 0.0.0.0\n"));
    const std::string command = "logaddress_add 127.0.0.1 " + std::to_string(port) + "\n";
    EXPECT_EQ(server->engine().server_commands(), std::vector<std::string>{command});
    EXPECT_TRUE(log().contains("[ORLEX] Executing: " + command + "\n"));
    EXPECT_NE(connect_client(), nullptr);
}

TEST_F(ListenerStartTest, HostportZeroFallsBackToPort) {
    derive_port();
    options.engine.hostport = 0;
    options.engine.port = port - 13000;
    start_listening();
    EXPECT_EQ(cvar("orlex_mm_port"), std::to_string(port));
    EXPECT_TRUE(log().contains("[ORLEX] socket assigned to port " + std::to_string(port) + "\n"));
}

TEST_F(ListenerStartTest, ConfiguredPortIsKeptAndCopiedToTheLogSocket) {
    options.settings.push_back({"orlex_port_pool", "4"});
    start_listening();
    EXPECT_EQ(cvar("orlex_mm_port"), std::to_string(port));
    EXPECT_EQ(cvar("orlex_mm_udp_port"), std::to_string(port));
    EXPECT_EQ(cvar("orlex_port_avail"), "4");
}

TEST_F(ListenerStartTest, OwnAddressFromNetAddress) {
    options.settings.push_back({"orlex_mm_ip", "-1"});
    options.engine.net_address = "127.0.0.1:27015";
    options.engine.sv_stats = false;
    start_listening();
    EXPECT_EQ(cvar("orlex_mm_ip"), "127.0.0.1");
    EXPECT_TRUE(log().contains("[ORLEX] Socket assigned to IP 127.0.0.1\n"));
    EXPECT_EQ(server->engine().server_commands(),
              std::vector<std::string>{"logaddress 127.0.0.1 " + std::to_string(port) + "\n"});
}

TEST_F(ListenerStartTest, NothingOpensUntilFiveSecondsAfterAttach) {
    start();
    while (server->engine().time() + server->frame_time() <= 5.0)
        server->run_frame();
    EXPECT_FALSE(log().contains("[ORLEX] Initializing server."));
    EXPECT_FALSE(e2e::AdminClient(port).connected());
    server->run_frame();
    server->run_frame();
    EXPECT_TRUE(log().contains("[ORLEX] Initializing server."));
    EXPECT_EQ(log().count("[ORLEX] Initializing server."), 1);
    run(30.0);
    EXPECT_EQ(log().count("[ORLEX] Initializing server."), 1);  // once per load
}

TEST_F(ListenerStartTest, PortOutsideTheRangeOpensNeitherSocketNorSetsTheLogAddress) {
    options.settings = {{"orlex_mm_port", "70000"}};
    start_listening();
    EXPECT_TRUE(log().contains("[ORLEX] Invalid port 70000 for the TCP listener\n"));
    EXPECT_TRUE(log().contains("[ORLEX] Invalid port 70000 for UDP socket\n"));
    EXPECT_TRUE(log().contains("[ORLEX] The UDP log socket is not bound; the server log address was not set\n"));
    EXPECT_TRUE(server->engine().server_commands().empty());
}

TEST_F(ListenerStartTest, LogPortHeldByAnotherProcessIsNotGivenTheLog) {
    testing_support::UdpReceiver squatter(port);
    start_listening();
    EXPECT_TRUE(log().contains("[ORLEX] Unable to bind UDP socket to port " + std::to_string(port) + "\n"));
    EXPECT_TRUE(server->engine().server_commands().empty());
    EXPECT_NE(connect_client(), nullptr);  // the TCP listener is unaffected
}

TEST_F(ListenerStartTest, PoolAboveTheSlotTableIsClamped) {
    options.settings.push_back({"orlex_port_pool", "500"});
    start_listening();
    EXPECT_EQ(cvar("orlex_port_avail"), "100");
    EXPECT_EQ(cvar("orlex_port_pool"), "500");
    EXPECT_EQ(log().count("[ORLEX] orlex_port_pool 500 is outside 0 to 100; using 100 slots"), 1);
}
