// A flood of datagrams on the log socket: frames stay short, player chat keeps flowing, and the
// console's chat comes through once the flood has drained (one log line a frame, by design).
#include <algorithm>

#include "hostile/hostile.h"

using hostile::HostileTest;

namespace {

std::vector<std::string> chat_texts(const std::vector<records::Record> &received) {
    std::vector<std::string> said;
    for (const records::Record &record : received)
        if (record.type == "SAY" || record.type == "SERVER_SAY")
            said.push_back(record.value("CHAT"));
    return said;
}

bool contains(const std::vector<std::string> &texts, const std::string &text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

}  // namespace

TEST_F(HostileTest, HundredThousandDatagramsOfNoiseAndOfLogLines) {
    options.settings.push_back({"orlex_timer_refresh", "1000"});
    start_listening();
    auto client = connect_client();
    edict_t *bob = join("Bob");
    const std::string header = "\xff\xff\xff\xff";
    std::vector<std::string> said;
    for (int i = 0; i < 100000; ++i) {
        if (i % 2 == 0)
            testing_support::send_datagram(port, random_bytes(1 + i % 1500));
        else
            testing_support::send_datagram(
                port, header + "log L 12/09/2026 - 14:06:43: Server say \"flood " + std::to_string(i) + "\"\n");
        if (i % 1000 == 0) {
            server->say(bob, "during " + std::to_string(i));
            timed_frame();
            const auto texts = chat_texts(client->receive(0));
            said.insert(said.end(), texts.begin(), texts.end());
        }
    }
    frames(2);
    const auto texts = chat_texts(client->receive());
    said.insert(said.end(), texts.begin(), texts.end());
    EXPECT_TRUE(contains(said, "Bob: during 99000"));  // player chat flowed through the flood
    EXPECT_LT(longest_frame_cpu_seconds, hostile::kFrameBoundSeconds);

    // Datagrams that found the socket's buffer full were dropped by the system; once the backlog
    // has drained, the server's log gets through again.
    bool drained = false;
    for (int round = 0; round < 5000 && !drained; ++round) {
        testing_support::send_datagram(port, header + "log L 12/09/2026 - 14:06:43: Server say \"drained\"\n");
        frames(20);
        drained = contains(chat_texts(client->receive(0)), "\"drained\"");
    }
    ASSERT_TRUE(drained);
    frames(200);
    client->receive();
    server->console_say("after the flood");
    frames(5);
    EXPECT_TRUE(contains(chat_texts(client->receive()), "\"after the flood\""));
    EXPECT_EQ(client->malformed(), 0u);
    EXPECT_LT(longest_frame_cpu_seconds, hostile::kFrameBoundSeconds);
}
