// The ring of stored cycles that delays reports, seen by a real client.
#include <memory>
#include <string>

#include "host/cvars.h"
#include "net/tcp_server.h"
#include "support/sockets.h"
#include "unit/plugin_fixture.h"

using testing_support::TcpClient;
using testing_support::wait_until;

namespace {

class StaggeredSendTest : public PluginFixture {
protected:
    void SetUp() override {
        attach();
        set_portpool(2);
        port = testing_support::free_port();
        ASSERT_EQ(server->init(port, "127.0.0.1"), 0);
        client = std::make_unique<TcpClient>(port);
        ASSERT_TRUE(wait_until([&] {
            server->update_connections();
            return server->check_if_open(0) == 0;
        }));
    }
    void TearDown() override { server->stoplistening(); }

    // One refresh cycle that builds "cycle N" into queue 0 and sends it the way the frame loop does.
    int run_cycle(int n) {
        snprintf(report, sizeof(report), "cycle %d", n);
        if (server->frame_size > 0)
            server->push_sendbuffer(report, 0);
        const int sent = server->send_data_lag(0, report, static_cast<int>(strlen(report)), 0);
        server->advance_frames();
        return sent;
    }
    std::string received() { return client->receive(1, 200) + client->receive_now(); }

    std::unique_ptr<tcp_server> server = std::make_unique<tcp_server>();
    std::unique_ptr<TcpClient> client;
    char report[REPORT_SIZE] = "";
    int port = 0;
};

}  // namespace

TEST_F(StaggeredSendTest, OffSendsEveryReportAsBuilt) {
    server->resetstack(-1);
    EXPECT_EQ(server->frame_size, 0);
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(run_cycle(n), 7);
        EXPECT_EQ(received(), "cycle " + std::to_string(n));
    }
}

TEST_F(StaggeredSendTest, LagOneSendsThroughTheRingWithoutDelay) {
    server->resetstack(1);
    for (int n = 1; n <= 3; ++n) {
        run_cycle(n);
        EXPECT_EQ(received(), "cycle " + std::to_string(n));
    }
}

TEST_F(StaggeredSendTest, LagThreeHoldsEveryReportBackTwoCycles) {
    server->resetstack(3);
    EXPECT_EQ(run_cycle(1), 0);
    EXPECT_EQ(run_cycle(2), 0);
    EXPECT_EQ(client->receive_now(), "");
    for (int n = 3; n <= 8; ++n) {
        run_cycle(n);
        EXPECT_EQ(received(), "cycle " + std::to_string(n - 2));
        EXPECT_STREQ(report, ("cycle " + std::to_string(n - 2)).c_str());  // the caller's text is replaced
    }
}

TEST_F(StaggeredSendTest, LagAboveTheRingBehavesAsThirty) {
    server->resetstack(50);
    EXPECT_EQ(server->frame_size, 30);
    for (int n = 1; n <= 29; ++n)
        ASSERT_EQ(run_cycle(n), 0) << n;
    run_cycle(30);
    EXPECT_EQ(received(), "cycle 1");
}

TEST_F(StaggeredSendTest, QueueOutsideTheSixIsRefused) {
    server->resetstack(1);
    server->push_sendbuffer("stored", 0);
    server->push_sendbuffer("bad", 6);
    server->push_sendbuffer("bad", -1);
    EXPECT_EQ(server->send_data_lag(0, report, 0, 6), 0);
    EXPECT_EQ(server->send_data_lag(0, report, 0, -1), 0);
    EXPECT_EQ(server->send_data_lag(0, report, 0, 0), 6);
    EXPECT_EQ(received(), "stored");
}

TEST_F(StaggeredSendTest, OverlongTextIsStoredCutAndTerminated) {
    server->resetstack(1);
    const std::string huge(REPORT_SIZE + 100, 'h');
    server->push_sendbuffer(huge.c_str(), 0);
    EXPECT_EQ(server->send_data_lag(0, report, 0, 0), REPORT_SIZE - 1);
    EXPECT_EQ(client->receive(REPORT_SIZE - 1), std::string(REPORT_SIZE - 1, 'h'));
}
