// Faults at start: the server keeps running, with the messages an operator needs.
#include <fstream>

#include "hostile/hostile.h"

using hostile::HostileTest;

namespace {

// The line a failed socket call leaves on standard error: perror's on Linux; on Windows, where
// Winsock leaves errno alone ("Success" would be printed), the Winsock error's.
std::string socket_error_line(const char *prefix, const char *text, const char *winsock_name) {
#if defined(_WIN32)
    return std::string(prefix) + ": " + text + " (" + winsock_name + ")\n";
#else
    (void)winsock_name;
    return std::string(prefix) + ": " + text + "\n";
#endif
}

class StartFaults : public HostileTest {
protected:
    // The frame loop goes on: a player's chat is still taken and cycles still run.
    void expect_server_runs_on() {
        join("Bob");
        for (int i = 0; i < 200; ++i)
            timed_frame();
        EXPECT_TRUE(server->host().violations().empty());
        EXPECT_LT(longest_frame_cpu_seconds, hostile::kFrameBoundSeconds);
    }
};

}  // namespace

TEST_F(StartFaults, TcpPortTakenByAnotherProgram) {
    testing_support::TcpClient::Listener squatter(port);
    ASSERT_TRUE(squatter.listening());
    // Under Wine a port taken by another socket fails the bind even with SO_EXCLUSIVEADDRUSE set,
    // as on Linux: this shows the "port taken" path works in the DLL, not Windows' own rule.
    testing::internal::CaptureStderr();
    start_listening();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              socket_error_line("two", "Address already in use", "WSAEADDRINUSE"));
    EXPECT_TRUE(log().contains("[ORLEX] Error binding socket\n"));
    EXPECT_FALSE(log().contains("[ORLEX] Success establishing listener"));
    // The log socket is independent of the listener and still gets the server's log.
    EXPECT_EQ(server->engine().server_commands().size(), 1u);
    expect_server_runs_on();
}

TEST_F(StartFaults, AddressThatDoesNotParse) {
    options.settings.push_back({"orlex_mm_ip", "not-an-address"});
    testing::internal::CaptureStderr();
    start_listening();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              socket_error_line("two", "Cannot assign requested address", "WSAEADDRNOTAVAIL"));
    EXPECT_TRUE(log().contains("[ORLEX] Socket assigned to IP 255.255.255.255\n"));
    EXPECT_TRUE(log().contains("[ORLEX] Error binding socket\n"));
    EXPECT_TRUE(log().contains("[ORLEX] Unable to bind UDP socket to port " + std::to_string(port) + "\n"));
    EXPECT_TRUE(server->engine().server_commands().empty());
    expect_server_runs_on();
}

TEST_F(StartFaults, MapFileCorrupt) {
    std::filesystem::create_directories(files / "maps");
    std::ofstream(files / "maps" / (options.map + ".bsp"), std::ios::binary) << random_bytes(5000);
    start_listening();
    EXPECT_EQ(log().count("[ORLEX] Unable to read the world size from maps/" + options.map + ".bsp"), 1);
    auto client = connect_client();
    EXPECT_EQ(request_server_record(*client).value("WORLDSIZE_X"), "0.000000");
    expect_server_runs_on();
}
