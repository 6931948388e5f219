// The SERVER record as clients receive it, and the map's extent read at every map start.
#include <fstream>

#include "e2e/live_server.h"
#include "simhost/bsp_writer.h"

using e2e::LiveServerTest;

namespace {

class ServerReportTest : public LiveServerTest {
protected:
    ServerReportTest() {
        options.engine.game_dir = "cstrike";
        options.engine.hostname = "Friday\tnight\nTYPE\tSERVER";
        options.engine.sv_password = "secret";
        options.engine.hostport = 27016;
        options.engine.net_address = "192.168.1.5:27016";
        options.map = "de_test";
        write_map("de_test", -1000, 3000, -500, 500);
    }
};

}  // namespace

TEST_F(ServerReportTest, DescribesTheServer) {
    start_listening();
    auto client = connect_client();
    const records::Record record = request_server_record(*client);
    std::vector<std::string> keys;
    for (const auto &line : record.lines)
        keys.push_back(line.first);
    EXPECT_EQ(keys, (std::vector<std::string>{"GAME_DIR", "MAX_PLAYERS", "UPTIME", "SV_PASSWORD", "WORLDSIZE_X",
                                              "WORLDSIZE_Y", "MAP_NAME", "HOST_NAME", "NET_ADDR", "ADDR_IP",
                                              "ADDR_PORT", "TIMELEFT", "TEAM_NAMES", "TEAM_SCORES"}));
    EXPECT_EQ(record.value("GAME_DIR"), "cstrike");
    EXPECT_EQ(record.value("MAX_PLAYERS"), "32");
    EXPECT_EQ(record.value("SV_PASSWORD"), "secret");
    EXPECT_EQ(record.value("WORLDSIZE_X"), "4000.000000");
    EXPECT_EQ(record.value("WORLDSIZE_Y"), "1000.000000");
    EXPECT_EQ(record.value("MAP_NAME"), "de_test");
    EXPECT_EQ(record.value("HOST_NAME"), "Friday night TYPE SERVER");
    EXPECT_EQ(record.value("NET_ADDR"), "192.168.1.5:27016");
    EXPECT_EQ(record.value("ADDR_IP"), "127.0.0.1");
    EXPECT_EQ(record.value("ADDR_PORT"), "27016");
    EXPECT_TRUE(record.fields("TEAM_NAMES")->empty());
    EXPECT_EQ(client->malformed(), 0u);
}

TEST_F(ServerReportTest, MissingOrBrokenMapFileGivesZeroSizeAndOneMessage) {
    options.map = "de_missing";
    const float mins[3] = {-1000, -500, 0}, maxs[3] = {3000, 500, 0};
    std::string truncated = simhost::make_bsp(mins, maxs).substr(0, 150);  // the models lump runs past the end
    std::filesystem::create_directories(files / "maps");
    std::ofstream(files / "maps" / "de_short.bsp", std::ios::binary) << truncated;

    start_listening();
    auto client = connect_client();
    EXPECT_EQ(request_server_record(*client).value("WORLDSIZE_X"), "0.000000");
    EXPECT_EQ(log().count("[ORLEX] Unable to read the world size from maps/de_missing.bsp"), 1);

    server->change_map("de_short");
    run(2.5);  // the first frame's build still has the previous map's size
    EXPECT_EQ(request_server_record(*client).value("WORLDSIZE_Y"), "0.000000");
    EXPECT_EQ(log().count("[ORLEX] Unable to read the world size from maps/de_short.bsp"), 1);
    EXPECT_EQ(server->engine().files_in_use(), 0);

    server->change_map("de_test");
    run(2.5);
    EXPECT_EQ(request_server_record(*client).value("WORLDSIZE_X"), "4000.000000");
}

TEST_F(ServerReportTest, MapChangeRunsEveryTaskOnItsFirstFrame) {
    options.settings.push_back({"orlex_timer_refresh", "1000"});  // cycles only at map starts
    write_map("de_big", 0, 8192, 0, 2048);
    start_listening();
    auto client = connect_client();
    client->receive();
    server->change_map("de_big");
    server->run_frame();  // the new map's first frame builds and sends the server report...
    auto received = client->receive();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received[0].value("MAP_NAME"), "de_big");
    EXPECT_EQ(received[0].value("WORLDSIZE_X"), "4000.000000");  // ...with the old map's size
    run(2.5);                                                    // the next build uses the new map's size
    EXPECT_EQ(request_server_record(*client).value("WORLDSIZE_X"), "8192.000000");
}
