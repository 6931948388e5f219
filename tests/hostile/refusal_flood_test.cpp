// Floods of connections the access settings refuse: not one slot is taken, the log stays bounded,
// and an allowed admin client still gets in at once.
#include <algorithm>
#include <chrono>
#include <vector>

#include "hostile/hostile.h"
#include "net/admission.h"

using e2e::AdminClient;
using hostile::HostileTest;
using hostile::kFrameBoundSeconds;
using testing_support::Peer;
using testing_support::peer_of;

namespace {

std::string loopback_source(int index) { return "127.0.0." + std::to_string(2 + index); }

const int kBatch = 10;  // what the listener's backlog holds (the pool's size)

class RefusalFlood : public HostileTest {
protected:
    RefusalFlood() {
        options.fps = 5;  // 0.2 s a frame: the flood spans several minutes of server time
        options.settings.push_back({"orlex_mm_allow", "127.0.0.1"});
    }
    int minute_now() const { return static_cast<int>(server->engine().time() / 60.0); }
};

}  // namespace

TEST_F(RefusalFlood, TenThousandStrangersTakeNoSlotAndFewLogLines) {
    const int kAttempts = 10000, kSources = 40;
    start_listening();
    const int descriptors_before = testing_support::open_descriptors();
    const int first_minute = minute_now();
    std::unique_ptr<AdminClient> admin;
    int closed = 0, spoke = 0, frames_run = 0, admin_frames = -1;

    const auto started = std::chrono::steady_clock::now();
    for (int done = 0; done < kAttempts; done += kBatch) {
        std::vector<int> batch;
        for (int i = 0; i < kBatch; ++i)
            batch.push_back(
                testing_support::connect_without_waiting(port, loopback_source((done + i) % kSources).c_str()));
        if (done == kAttempts / 2)
            admin = std::make_unique<AdminClient>(port, "127.0.0.1");  // waits behind a whole batch
        size_t settled = 0;
        for (int frame = 0; frame < 50 && settled < batch.size(); ++frame) {
            timed_frame();
            ++frames_run;
            if (admin && admin_frames < 0 && log().count("[ORLEX] Connect::") == 1)
                admin_frames = frame + 1;
            settled = static_cast<size_t>(
                std::count_if(batch.begin(), batch.end(), [](int fd) { return peer_of(fd) != Peer::open; }));
        }
        for (int fd : batch) {
            const Peer state = peer_of(fd);
            closed += state == Peer::closed;
            spoke += state == Peer::spoke;
            testing_support::close_descriptor(fd);
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    const int minutes = minute_now() - first_minute + 1;

    EXPECT_EQ(closed, kAttempts);
    EXPECT_EQ(spoke, 0);
    EXPECT_EQ(log().count("[ORLEX] Connect::"), 1);  // the admin only
    EXPECT_EQ(admin_frames, 1);
    EXPECT_EQ(cvar("orlex_port_avail"), "9");
    EXPECT_GE(minutes, 3);
    const int refusal_lines = log().count("[ORLEX] Refus");
    EXPECT_GE(refusal_lines, kSources / 2);
    EXPECT_LE(refusal_lines, minutes * (REFUSAL_LINES_PER_MINUTE + 1));
    EXPECT_EQ(request_server_record(*admin).type, "SERVER");
    admin.reset();
    run(3.0);
    EXPECT_EQ(cvar("orlex_port_avail"), "10");
    EXPECT_EQ(testing_support::open_descriptors(), descriptors_before);
    EXPECT_LT(longest_frame_cpu_seconds, kFrameBoundSeconds);
    std::printf(
        "[ refused flood ] %d connections from %d addresses over %d minutes of server time: %d frames, "
        "%d log lines, %.1f us a refused connection (client side included), 0 slots held\n",
        kAttempts, kSources, minutes, frames_run, refusal_lines, took.count() * 1e6 / kAttempts);
}

TEST_F(HostileTest, OneHostCyclingConnectionsGetsItsRateAndNoMore) {
    options.settings.push_back({"orlex_mm_rate", "3"});
    start_listening();
    for (int done = 0; done < 1000; done += kBatch) {
        std::vector<int> batch;
        for (int i = 0; i < kBatch; ++i)
            batch.push_back(testing_support::connect_without_waiting(port, "127.0.0.2"));
        frames(2);
        for (int fd : batch)
            testing_support::close_descriptor(fd);
    }
    ASSERT_LT(server->engine().time(), 60.0);
    EXPECT_EQ(log().count("[ORLEX] Connect::"), 3);
    EXPECT_EQ(log().count("[ORLEX] Refused a connection from 127.0.0.2"), 1);
    auto admin = connect_client("127.0.0.1");
    EXPECT_EQ(request_server_record(*admin).type, "SERVER");
    EXPECT_LT(longest_frame_cpu_seconds, kFrameBoundSeconds);
}
