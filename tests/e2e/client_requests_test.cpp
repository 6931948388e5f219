// The conversation with admin clients: requests, SET_REFRESH, and chat.
#include "e2e/live_server.h"

using e2e::AdminClient;
using e2e::LiveServerTest;

namespace {

class RequestTest : public LiveServerTest {
protected:
    RequestTest() {
        // No periodic cycle after the first: what a client receives is what it asked for.
        options.settings.push_back({"orlex_timer_refresh", "1000"});
    }
    void SetUp() override {
        start_listening();
        client = connect_client();
    }
    // Sends the bytes, runs one query interval, returns the kinds of the records received.
    std::vector<std::string> ask(const std::string &bytes) {
        client->send(bytes);
        run(2.1);
        std::vector<std::string> kinds;
        for (const records::Record &record : client->receive())
            kinds.push_back(record.type);
        return kinds;
    }
    std::string refresh() const { return cvar("orlex_timer_refresh"); }

    std::unique_ptr<AdminClient> client;
};

using Kinds = std::vector<std::string>;

}  // namespace

TEST_F(RequestTest, GetServerIsAnsweredWithinOneQueryInterval) {
    EXPECT_EQ(ask("GET_SERVER\r\n"), Kinds{"SERVER"});
    EXPECT_EQ(ask("GET_SERVER"), Kinds{"SERVER"});  // no line end needed
}

TEST_F(RequestTest, MatchingIsExact) {
    EXPECT_EQ(ask("get_server\n"), Kinds{});
    EXPECT_EQ(ask("GET_SERVER \n"), Kinds{});
    EXPECT_EQ(ask(" GET_SERVER\n"), Kinds{});
    EXPECT_EQ(ask("GET_SENTRY\n"), Kinds{});  // a game command in a game without it
    EXPECT_EQ(client->malformed(), 0u);
}

TEST_F(RequestTest, OnlyTheFirstLineOfARead) {
    EXPECT_EQ(ask("GET_SERVER\nGET_SERVER\n"), Kinds{"SERVER"});
    EXPECT_EQ(ask("x\nGET_SERVER\n"), Kinds{});
}

TEST_F(RequestTest, LongLineIsReadInPiecesOf255) {
    client->send(std::string(255, 'x'));
    run(2.1);
    EXPECT_EQ(ask("GET_SERVER\n"), Kinds{"SERVER"});  // the next piece starts a new line
    EXPECT_EQ(ask(std::string(250, 'y') + "GET_SERVER\n"), Kinds{});
    EXPECT_EQ(ask(""), Kinds{});  // "ERVER\n" was the rest
}

TEST_F(RequestTest, SetRefresh) {
    ask("SET_REFRESH 3\n");
    EXPECT_EQ(refresh(), "3.0");
    ask("SET_REFRESH 2.26");
    EXPECT_EQ(refresh(), "2.3");
    ask("SET_REFRESH\n");
    EXPECT_EQ(refresh(), "2.3");  // no space: nothing changes
    ask("SET_REFRESHING now 4\n");
    EXPECT_EQ(refresh(), "0.0");  // the text after the first space, "now 4", reads as 0
    ask("SET_REFRESH_x 4\n");
    EXPECT_EQ(refresh(), "4.0");
    ask("SET_REFRESH abc\n");
    EXPECT_EQ(refresh(), "0.0");
    ask("SET_REFRESH -2\n");
    EXPECT_EQ(refresh(), "-2.0");
    ask("SET_REFRESH 0x1.8p1\n");  // hexadecimal, read alike everywhere
    EXPECT_EQ(refresh(), "3.0");
    ask("SET_REFRESH 0.25\n");  // exactly between: to even
    EXPECT_EQ(refresh(), "0.2");
}

TEST_F(RequestTest, SetRefreshRefusesWhatTheVariableCannotHold) {
    ask("SET_REFRESH 7\n");
    // Also what some C libraries read as 0 (msvcrt's atof knows neither "nan" nor "inf").
    for (const char *value : {"nan", "NAN", "nan(1)", "inf", "-inf", "INFINITY", "1e39", "-1e39", "1e999"}) {
        ask(std::string("SET_REFRESH ") + value + "\n");
        EXPECT_EQ(refresh(), "7.0") << value;
    }
    ask("SET_REFRESH -3e38\n");
    EXPECT_EQ(refresh().size(), 42u);  // formatted whole, never cut
}

// A period above an hour would arm the cycle that far ahead, and a shorter one set afterwards
// takes effect only at the next re-arm: every client would get nothing until the next map.
TEST_F(RequestTest, SetRefreshRefusesMoreThanAnHour) {
    ask("SET_REFRESH 3600\n");
    EXPECT_EQ(refresh(), "3600.0");
    for (const char *value : {"3600.01", "3601", "86400", "3e38", "0x1p100"}) {
        ask(std::string("SET_REFRESH ") + value + "\n");
        EXPECT_EQ(refresh(), "3600.0") << value;
    }
    ask("SET_REFRESH -5000\n");  // 0 and negatives keep their old meaning
    EXPECT_EQ(refresh(), "-5000.0");
}

class RefreshCycleTest : public LiveServerTest {
protected:
    RefreshCycleTest() { options.settings.push_back({"orlex_timer_refresh", "2"}); }
};

TEST_F(RefreshCycleTest, HugeRefreshLeavesTheCycleRunning) {
    start_listening();
    auto client = connect_client();
    client->send("SET_REFRESH 3e38\n");
    run(5.0);  // the request is read, and the cycle re-arms from the period at least once
    client->receive();
    run(6.0);
    int players = 0, servers = 0;
    for (const records::Record &record : client->receive()) {
        players += record.type == "PLAYER";
        servers += record.type == "SERVER";
    }
    EXPECT_GE(players, 2);
    EXPECT_GE(servers, 2);
    EXPECT_EQ(cvar("orlex_timer_refresh"), "2");
}

TEST_F(RequestTest, ClientThatHangsUpIsFreed) {
    client->close();
    run(2.1);
    EXPECT_TRUE(log().contains("[ORLEX] Disconnect(1)::0\n"));
    EXPECT_EQ(cvar("orlex_port_avail"), "10");
}

namespace {

class ChatTest : public LiveServerTest {
protected:
    void SetUp() override { start_listening(); }
    // The chat records a client receives within one connection check (reports are left aside).
    std::vector<records::Record> chat(AdminClient &client) {
        run(0.6);
        std::vector<records::Record> said;
        for (const records::Record &record : client.receive())
            if (record.type.compare(0, 3, "SAY") == 0 || record.type == "SERVER_SAY")
                said.push_back(record);
        return said;
    }
    std::string chat_text(AdminClient &client) {
        std::string text;
        for (const records::Record &record : chat(client))
            text += record.text;
        return text;
    }
};

}  // namespace

TEST_F(ChatTest, SayAndSayTeamReachEveryClientInOrder) {
    auto first = connect_client();
    auto second = connect_client();
    edict_t *bob = join("Bob");
    edict_t *alice = join("Alice");
    server->say_team(bob, "rush B");
    server->say(alice, "hi");
    server->say(bob, "ok");
    const std::string expected =
        "TYPE\tSAY\nUSER_ID\t2\nCHAT\tAlice: hi\n\n"
        "TYPE\tSAY\nUSER_ID\t1\nCHAT\tBob: ok\n\n"
        "TYPE\tSAY_TEAM\nUSER_ID\t1\nCHAT\t(TEAM)Bob: rush B\n\n";
    EXPECT_EQ(chat_text(*first), expected);
    EXPECT_EQ(chat_text(*second), expected);
}

TEST_F(ChatTest, OnlyTheFirstArgumentIsTheText) {
    auto client = connect_client();
    edict_t *bob = join("Bob");
    server->client_command(bob, {"say", "one", "two", "three"});
    server->client_command(bob, {"say"});
    EXPECT_EQ(chat_text(*client), "TYPE\tSAY\nUSER_ID\t1\nCHAT\tBob: one\n\nTYPE\tSAY\nUSER_ID\t1\nCHAT\tBob: \n\n");
}

TEST_F(ChatTest, BotsOtherCommandsAndOtherCasesAreIgnored) {
    auto client = connect_client();
    simhost::PlayerSpec bot;
    bot.name = "Bot";
    bot.bot = true;
    server->say(server->connect_player(bot), "beep");
    edict_t *bob = join("Bob");
    server->client_command(bob, {"Say", "x"});
    server->client_command(bob, {"SAY", "x"});
    server->client_command(bob, {"kill"});
    EXPECT_TRUE(chat(*client).empty());
}

TEST_F(ChatTest, ChatWithNoClientIsDropped) {
    edict_t *bob = join("Bob");
    server->say(bob, "nobody hears this");
    run(0.6);
    auto client = connect_client();
    server->say(bob, "now");
    const auto said = chat(*client);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].value("CHAT"), "Bob: now");
}

TEST_F(ChatTest, ForgedLineBreaksInNameOrTextStayInsideTheRecord) {
    auto client = connect_client();
    edict_t *evil = join("Ev\til\n\nTYPE\tSERVER");
    server->say(evil, "a\r\nTYPE\tSERVER_SAY\nCHAT\tforged\n\n");
    const auto said = chat(*client);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].type, "SAY");
    EXPECT_EQ(said[0].lines.size(), 2u);
    EXPECT_EQ(said[0].value("CHAT"), "Ev il  TYPE SERVER: a  TYPE SERVER_SAY CHAT forged  ");
    EXPECT_EQ(client->malformed(), 0u);
}

TEST_F(ChatTest, OverlongChatIsCutAndStillEndsTheRecord) {
    auto client = connect_client();
    edict_t *bob = join("Bob");
    server->say(bob, std::string(3000, 'z'));
    server->say(bob, "next");
    const auto said = chat(*client);
    ASSERT_EQ(said.size(), 2u);
    EXPECT_EQ(said[0].value("CHAT").size(), 2047u - std::string("TYPE\tSAY\nUSER_ID\t1\nCHAT\t\n\n").size());
    EXPECT_EQ(said[1].value("CHAT"), "Bob: next");
}

TEST_F(ChatTest, ConsoleSayArrivesThroughTheServerLog) {
    auto client = connect_client();
    server->console_say("hello world");
    run(3.0);  // one log line per tick: the plug-in's own log lines come through first
    const auto said = chat(*client);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].type, "SERVER_SAY");
    EXPECT_EQ(said[0].value("CHAT"), "\"hello world\"");
}
