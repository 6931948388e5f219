// Who may connect to the admin port: the allow-list, the per-address rate limit and the password
// withheld on request, through the built library, with clients from chosen loopback addresses.
#include "e2e/live_server.h"

using e2e::AdminClient;
using e2e::LiveServerTest;

namespace {

class AccessControlTest : public LiveServerTest {
protected:
    AccessControlTest() { options.engine.sv_password = "secret"; }

    void set(const std::string &name, const std::string &value) { options.settings.push_back({name, value}); }
    void change(const std::string &name, const std::string &value) { server->engine().cvars().set(name, value); }

    // Whether a connection from the address is closed after two connection checks without having
    // received a byte, and without having moved the free-slot count.
    bool refused(const char *source_address) {
        const std::string avail = cvar("orlex_port_avail");
        const int accepted = log().count("[ORLEX] Connect::");
        AdminClient client(port, source_address);
        EXPECT_TRUE(client.connected());
        run(1.0);
        const bool nothing_received = client.receive_text(0).empty();
        return client.closed_by_peer() && nothing_received && cvar("orlex_port_avail") == avail &&
               log().count("[ORLEX] Connect::") == accepted;
    }
    bool served(AdminClient &client) { return request_server_record(client).type == "SERVER"; }
};

}  // namespace

TEST_F(AccessControlTest, WithTheDefaultsEveryAddressIsServedAndNothingIsSaid) {
    start_listening();
    auto local = connect_client();
    auto other = connect_client("127.0.0.2");
    EXPECT_TRUE(served(*other));
    EXPECT_EQ(request_server_record(*local).value("SV_PASSWORD"), "secret");
    EXPECT_EQ(log().count("orlex_mm_"), 0);
    EXPECT_EQ(log().count("Refus"), 0);
}

TEST_F(AccessControlTest, OnlyListedAddressesGetASlot) {
    set("orlex_mm_allow", "127.0.0.1");
    start_listening();
    EXPECT_EQ(log().count("[ORLEX] orlex_mm_allow: entries in use: 1; connections from any other address are refused"),
              1);
    EXPECT_TRUE(refused("127.0.0.2"));
    EXPECT_TRUE(refused("127.0.0.2"));
    EXPECT_TRUE(refused("127.0.1.1"));
    EXPECT_EQ(log().count("[ORLEX] Refused a connection from 127.0.0.2: not in orlex_mm_allow"), 1);  // one a minute
    EXPECT_EQ(log().count("[ORLEX] Refused a connection from 127.0.1.1: not in orlex_mm_allow"), 1);
    EXPECT_EQ(cvar("orlex_port_avail"), "10");

    auto admin = connect_client("127.0.0.1");
    EXPECT_TRUE(served(*admin));
    EXPECT_EQ(cvar("orlex_port_avail"), "9");
}

TEST_F(AccessControlTest, RangeEdgesOnLoopback) {
    set("orlex_mm_allow", "127.0.0.2/31, 127.1.0.0/16");
    start_listening();
    EXPECT_TRUE(refused("127.0.0.1"));
    EXPECT_TRUE(refused("127.0.0.4"));
    EXPECT_TRUE(refused("127.2.0.1"));
    auto low = connect_client("127.0.0.2");
    auto high = connect_client("127.0.0.3");
    auto wide = connect_client("127.1.255.254");
    EXPECT_EQ(cvar("orlex_port_avail"), "7");
}

TEST_F(AccessControlTest, AListInWhichNothingParsesRefusesEveryone) {
    set("orlex_mm_allow", "localhost, 127.0.0.1/33");
    start_listening();
    EXPECT_EQ(log().count("[ORLEX] orlex_mm_allow: ignoring \"localhost\""), 1);
    EXPECT_EQ(log().count("[ORLEX] orlex_mm_allow: ignoring \"127.0.0.1/33\""), 1);
    EXPECT_EQ(log().count("[ORLEX] orlex_mm_allow: no entry parses; refusing every connection"), 1);
    EXPECT_TRUE(refused("127.0.0.1"));
    run(5.0);
    EXPECT_EQ(log().count("orlex_mm_allow: ignoring"), 2);  // named once, not at every check
}

TEST_F(AccessControlTest, TighteningTheListClosesWhoIsNoLongerAllowed) {
    start_listening();
    auto admin = connect_client("127.0.0.1");
    auto stranger = connect_client("127.0.0.2");
    EXPECT_EQ(cvar("orlex_port_avail"), "8");

    change("orlex_mm_allow", "127.0.0.1");
    run(1.0);
    EXPECT_TRUE(stranger->closed_by_peer());
    EXPECT_EQ(log().count("[ORLEX] 127.0.0.2 is no longer in orlex_mm_allow"), 1);
    EXPECT_EQ(log().count("[ORLEX] Disconnect(4)::1"), 1);
    EXPECT_EQ(cvar("orlex_port_avail"), "9");
    EXPECT_TRUE(served(*admin));
    EXPECT_TRUE(refused("127.0.0.2"));

    change("orlex_mm_allow", "");
    run(1.0);
    EXPECT_EQ(log().count("[ORLEX] orlex_mm_allow is empty; every address may connect"), 1);
    auto back = connect_client("127.0.0.2");
    EXPECT_EQ(cvar("orlex_port_avail"), "8");
}

TEST_F(AccessControlTest, RateLimitHoldsForTheRestOfTheMinuteThenLifts) {
    set("orlex_mm_rate", "2");
    start_listening();
    ASSERT_LT(server->engine().time(), 50.0);
    connect_client("127.0.0.2")->close();
    connect_client("127.0.0.2")->close();
    run(2.5);  // both closes seen: their slots are free again
    ASSERT_EQ(cvar("orlex_port_avail"), "10");
    EXPECT_TRUE(refused("127.0.0.2"));
    EXPECT_TRUE(refused("127.0.0.2"));
    auto neighbour = connect_client("127.0.0.3");  // counted on its own
    EXPECT_EQ(log().count("[ORLEX] Refused a connection from 127.0.0.2: more new connections this minute than "
                          "orlex_mm_rate allows"),
              1);

    run(58.5 - server->engine().time());
    EXPECT_TRUE(refused("127.0.0.2"));  // still the same minute until 60.0
    run(60.0 - server->engine().time());
    auto next_minute = connect_client("127.0.0.2");
    EXPECT_TRUE(served(*next_minute));
}

TEST_F(AccessControlTest, PasswordWithheldInEveryServerRecord) {
    set("orlex_mm_hide_password", "1");
    set("orlex_timer_refresh", "1");
    start_listening();
    auto client = connect_client();
    const records::Record requested = request_server_record(*client);
    ASSERT_EQ(requested.type, "SERVER");
    EXPECT_EQ(requested.value("SV_PASSWORD"), "");
    run(3.0);
    int cycle_records = 0;
    for (const records::Record &record : client->receive())
        if (record.type == "SERVER") {
            ++cycle_records;
            EXPECT_EQ(record.value("SV_PASSWORD"), "");
        }
    EXPECT_GT(cycle_records, 0);

    change("orlex_mm_hide_password", "0");  // read at every build
    run(3.0);
    EXPECT_EQ(request_server_record(*client).value("SV_PASSWORD"), "secret");
}
