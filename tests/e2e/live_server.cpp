#include "e2e/live_server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>

#include "simhost/bsp_writer.h"
#include "support/thread_clock.h"

namespace e2e {

std::vector<records::Record> AdminClient::receive(int milliseconds) {
    stream_.feed(receive_text(milliseconds));
    std::vector<records::Record> received;
    records::Record record;
    while (stream_.next(&record))
        received.push_back(record);
    return received;
}

std::string AdminClient::receive_text(int milliseconds) {
    // The plug-in's small sends may be held back by the sender's coalescing until an
    // acknowledgement comes (tens of milliseconds on loopback): read until the stream goes quiet.
    const int kQuiet = 60;
    if (milliseconds == 0)
        return socket_.receive_now();  // what has arrived, no waiting at all
    std::string text = socket_.receive(1, milliseconds);
    for (std::string more; !text.empty() && !(more = socket_.receive(1, kQuiet)).empty();)
        text += more + socket_.receive_now();
    return text;
}

static std::filesystem::path unique_folder() {
    static std::atomic<int> counter{0};
    return std::filesystem::temp_directory_path() /
           ("orlex_e2e_" + std::to_string(testing_support::process_id()) + "_" + std::to_string(counter++));
}

LiveServerTest::LiveServerTest() : files(unique_folder()) {
    port = testing_support::free_port();
    options.engine.files_root = files.string();
    options.settings.push_back({"orlex_mm_port", std::to_string(port)});
    write_map(options.map, -1000, 3000, -500, 500);
}

LiveServerTest::~LiveServerTest() {
    server.reset();
    std::error_code ignored;
    std::filesystem::remove_all(files, ignored);
}

void LiveServerTest::start() {
    server = std::make_unique<simhost::GameServer>(options);
    std::string error;
    ASSERT_TRUE(server->start(plugin_path(), &error)) << error;
}

void LiveServerTest::start_listening() {
    start();
    run(5.0);
    ASSERT_TRUE(log().contains("[ORLEX] Initializing server."));
}

std::unique_ptr<AdminClient> LiveServerTest::connect_client(const char *source_address) {
    auto client = std::make_unique<AdminClient>(port, source_address);
    EXPECT_TRUE(client->connected());
    const int accepted = log().count("[ORLEX] Connect::");
    for (int frame = 0; frame < 1000 && log().count("[ORLEX] Connect::") == accepted; ++frame)
        server->run_frame();
    EXPECT_EQ(log().count("[ORLEX] Connect::"), accepted + 1);
    return client;
}

void LiveServerTest::timed_frame() {
    const double start = testing_support::thread_cpu_seconds();
    server->run_frame();
    longest_frame_cpu_seconds = std::max(longest_frame_cpu_seconds, testing_support::thread_cpu_seconds() - start);
}

records::Record LiveServerTest::request_server_record(AdminClient &client) {
    client.receive(10);  // whatever the cycle sent before
    client.send("GET_SERVER\n");
    run(2.0);  // one query interval
    for (const records::Record &record : client.receive())
        if (record.type == "SERVER")
            return record;
    ADD_FAILURE() << "no SERVER record";
    return records::Record();
}

edict_t *LiveServerTest::join(const std::string &name) {
    simhost::PlayerSpec joining;
    joining.name = name;
    edict_t *player = server->connect_player(joining);
    EXPECT_NE(player, nullptr) << name;
    return player;
}

void LiveServerTest::write_map(const std::string &map, float min_x, float max_x, float min_y, float max_y) {
    const float mins[3] = {min_x, min_y, -512};
    const float maxs[3] = {max_x, max_y, 512};
    ASSERT_TRUE(simhost::write_bsp((files / "maps" / (map + ".bsp")).string(), mins, maxs));
}

std::string LiveServerTest::cvar(const std::string &name) const {
    const cvar_t *var = server->engine().cvars().find(name);
    return var && var->string ? var->string : "(missing)";
}

}  // namespace e2e
