// The server log sent to a log address, received on a real loopback socket.
#include "simhost/log_relay.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "simhost/engine.h"
#include "support/sockets.h"

namespace {

// The log address: any free port on loopback.
class LogReceiver : public testing_support::UdpReceiver {
public:
    LogReceiver() : UdpReceiver(0) {}
};

std::string stamp(std::time_t when) {
    char text[32];
    std::strftime(text, sizeof(text), "%m/%d/%Y - %H:%M:%S", std::localtime(&when));
    return text;
}

// The datagram a server sends for a line written at a time between before and after.
::testing::AssertionResult is_log_datagram(const std::string &datagram, const std::string &line, std::time_t before,
                                           std::time_t after) {
    for (std::time_t when = before; when <= after; ++when)
        if (datagram == std::string("\xFF\xFF\xFF\xFFlog L ") + stamp(when) + ": " + line + "\n" + std::string(1, '\0'))
            return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "unexpected datagram: " << ::testing::PrintToString(datagram);
}

}  // namespace

TEST(LogRelay, EveryLoggedLineBecomesOneDatagramAfterLogaddressAdd) {
    simhost::Engine engine{simhost::EngineConfig()};
    LogReceiver receiver;
    engine.functions()->pfnAlertMessage(at_logged, "before the address\n");
    const std::string command = "logaddress_add 127.0.0.1 " + std::to_string(receiver.port()) + "\n";
    engine.functions()->pfnServerCommand(command.c_str());

    const std::time_t before = std::time(nullptr);
    engine.functions()->pfnAlertMessage(at_logged, "[ORLEX] %s %d\n", "ready", 7);
    engine.functions()->pfnAlertMessage(at_console, "console only\n");
    engine.console_say("hello there");
    const std::time_t after = std::time(nullptr);

    EXPECT_TRUE(is_log_datagram(receiver.receive(), "[ORLEX] ready 7", before, after));
    EXPECT_TRUE(is_log_datagram(receiver.receive(), "Server say \"hello there\"", before, after));
    EXPECT_EQ(receiver.receive(100), "");
}

TEST(LogRelay, AddressCommandsKeepOneEntryPerAddress) {
    simhost::LogRelay relay;
    EXPECT_TRUE(relay.execute({"logaddress_add", "10.1.2.3", "27500"}));
    EXPECT_TRUE(relay.execute({"logaddress_add", "10.1.2.3:27500"}));
    EXPECT_TRUE(relay.execute({"logaddress_add", "10.1.2.300", "27501"}));  // refused, still ours
    ASSERT_EQ(relay.addresses().size(), 1u);
    EXPECT_EQ(relay.addresses()[0].ipv4, 0x0A010203u);
    EXPECT_EQ(relay.addresses()[0].port, 27500);

    relay.execute({"logaddress_add", "10.1.2.4", "27500"});
    relay.execute({"logaddress", "10.1.2.5", "1"});
    ASSERT_EQ(relay.addresses().size(), 1u);  // logaddress replaces the list
    EXPECT_EQ(relay.addresses()[0].ipv4, 0x0A010205u);
    EXPECT_FALSE(relay.execute({"log", "on"}));
}

TEST(ServerCommands, SplitAtLineFeedsAndSemicolonsOutsideQuotes) {
    simhost::Engine engine{simhost::EngineConfig()};
    engine.functions()->pfnServerCommand("logaddress_add 10.0.0.1 1;logaddress_add 10.0.0.2 2\nsay \"a;b\"\n");
    EXPECT_EQ(engine.log_relay().addresses().size(), 2u);
    EXPECT_EQ(engine.server_commands().size(), 1u);  // recorded as handed over
}
