// How the listener and the log socket hold their ports: on Linux as they always did; on Windows
// with SO_EXCLUSIVEADDRUSE, since Windows' SO_REUSEADDR would let another program bind the same
// port and silently take a share of the connections or of the server's log.
#include <memory>

#include "net/tcp_server.h"
#include "net/udp_server.h"
#include "support/sockets.h"
#include "unit/plugin_fixture.h"

namespace {

bool option_set(int sd, int name) {
    int value = 0;  // a BOOL on Windows, an int on Linux: both four bytes
    socklen_t size = sizeof(value);
    getsockopt(sd, SOL_SOCKET, name, reinterpret_cast<char *>(&value), &size);
    return value != 0;
}

class PortClaimTest : public PluginFixture {
protected:
    void SetUp() override {
        attach();
        set_portpool(2);
        port = testing_support::free_port();
    }
    int port = 0;
};

}  // namespace

TEST_F(PortClaimTest, ListenerSocketOptions) {
    auto listener = std::make_unique<tcp_server>();
    ASSERT_EQ(listener->init(port, "127.0.0.1"), 0);
    const int sd = listener->listening_socket();
#if defined(_WIN32)
    EXPECT_TRUE(option_set(sd, SO_EXCLUSIVEADDRUSE));
    EXPECT_FALSE(option_set(sd, SO_REUSEADDR));
#else
    EXPECT_TRUE(option_set(sd, SO_REUSEADDR));  // a restarted server listens again at once
#endif
    listener->stoplistening();
}

TEST_F(PortClaimTest, LogSocketOptions) {
    udp_server log_socket;
    ASSERT_TRUE(log_socket.setport(port, "127.0.0.1"));
    const int sd = log_socket.socket_descriptor();
#if defined(_WIN32)
    EXPECT_TRUE(option_set(sd, SO_EXCLUSIVEADDRUSE));
#endif
    EXPECT_FALSE(option_set(sd, SO_REUSEADDR));
}

TEST_F(PortClaimTest, NoOtherSocketSharesTheLogPort) {
    // Even one that asks to share: on Linux because ours does not; on Windows because ours is
    // exclusive. (Wine binds as Linux does, so under Wine this shows the path, not the Windows rule.)
    udp_server log_socket;
    ASSERT_TRUE(log_socket.setport(port, "127.0.0.1"));
    const int other = net::open_socket(SOCK_DGRAM);
    const int on = 1;
    setsockopt(other, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&on), sizeof(on));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_NE(bind(other, reinterpret_cast<const sockaddr *>(&address), sizeof(address)), 0);
    net::close_socket(other);
}

TEST_F(PortClaimTest, AListenerThatCannotBindHoldsNoSocket) {
    testing_support::TcpClient::Listener squatter(port);
    ASSERT_TRUE(squatter.listening());
    tcp_server listener;
    EXPECT_EQ(listener.init(port, "127.0.0.1"), -1);
    EXPECT_EQ(listener.listening_socket(), net::NO_SOCKET);
    listener.update_connections();  // nothing to accept from: no call on a closed descriptor
}
