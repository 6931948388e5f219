// Records folded into the view's state, whatever the reads that carry them.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <sstream>

#include "client/render.h"
#include "client/sample_records.h"

namespace {

using Kinds = std::vector<std::string>;

// Whether text holds "HH:MM:SS " at `at`: a chat line's arrival time.
bool arrival_time_at(const std::string &text, size_t at) {
    const std::string pattern = "00:00:00 ";
    if (at + pattern.size() > text.size())
        return false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = text[at + i];
        if (pattern[i] == '0' ? !std::isdigit(static_cast<unsigned char>(c)) : c != pattern[i])
            return false;
    }
    return true;
}

// The view after the stream arrives in reads cut at these offsets, and the kinds folded; the chat
// lines' arrival times left out (a second may pass between two runs).
std::string view_after_reads(const std::string &stream, std::vector<size_t> cuts, Kinds *kinds) {
    view::Feed feed;
    cuts.push_back(stream.size());
    for (size_t start = 0, cut = 0; cut < cuts.size(); start = cuts[cut++])
        for (const std::string &kind : feed.add(stream.substr(start, cuts[cut] - start)))
            kinds->push_back(kind);
    EXPECT_EQ(feed.malformed(), 0u);
    std::string shown = view::render(feed.state(), 100);
    for (size_t at = shown.find('\n'); at != std::string::npos; at = shown.find('\n', at + 1))
        if (arrival_time_at(shown, at + 1))
            shown.erase(at + 1, 9);
    return shown;
}

}  // namespace

TEST(ClientFeed, AnySplitOfTheStreamGivesTheSameView) {
    const std::string stream = samples::server() + samples::players({"Alice", "Bob"}) + samples::flags(2) +
                               samples::say("Bob: hi") + samples::server_say("\"restart\"");
    Kinds whole_kinds;
    const std::string whole = view_after_reads(stream, {}, &whole_kinds);
    ASSERT_EQ(whole_kinds, (Kinds{"SERVER", "PLAYER", "FLAG", "SAY", "SERVER_SAY"}));
    std::mt19937 random(7);
    for (size_t round = 1; round < stream.size(); ++round) {
        std::vector<size_t> cuts = {round};  // one cut at every offset, then a few more at random
        for (size_t at = round; at < stream.size() && round % 5 == 0; at += 1 + random() % 40)
            cuts.push_back(at);
        Kinds kinds;
        ASSERT_EQ(view_after_reads(stream, cuts, &kinds), whole) << "cut at " << round;
        ASSERT_EQ(kinds, whole_kinds) << "cut at " << round;
    }
}

TEST(ClientFeed, MalformedRecordIsSkippedAndTheNextKept) {
    view::Feed feed;
    EXPECT_EQ(feed.add("PLAYER\tBob\n\n" + samples::say("Bob: still here") + "TYPE\tSAY\nCHAT\tcut"), Kinds{"SAY"});
    EXPECT_EQ(feed.malformed(), 1u);
    EXPECT_EQ(feed.state().chat.back().text, "Bob: still here");
    EXPECT_EQ(feed.add(" short\n\n"), Kinds{"SAY"});
    EXPECT_EQ(feed.state().chat.back().text, "cut short");
}

// The bound is the stream's own: 64 KB without a record end breaks it, whatever the reads, and
// records that end in time pass however many come in one read. A reset (a new connection) mends it.
TEST(ClientFeed, MoreThan64KBWithoutARecordEndBreaksTheStream) {
    std::string many;
    while (many.size() < 3 * records::RecordStream::kLongestPending)
        many += samples::say(std::string(900, 'x'));
    view::Feed feed;
    EXPECT_FALSE(feed.add(many).empty());
    EXPECT_FALSE(feed.overflowed());

    records::RecordStream stream;
    const std::string garbage(1000, 'g');
    size_t fed = 0;
    for (; fed <= records::RecordStream::kLongestPending && !stream.overflowed(); fed += garbage.size()) {
        stream.feed(garbage);
        std::string text;
        EXPECT_FALSE(stream.next_text(&text));
    }
    EXPECT_TRUE(stream.overflowed());
    EXPECT_GT(fed, records::RecordStream::kLongestPending);
    EXPECT_EQ(stream.pending(), 0u);
    stream.feed(samples::say("ignored"));
    records::Record record;
    EXPECT_FALSE(stream.next(&record));
    EXPECT_EQ(stream.pending(), 0u);
    stream.reset();
    stream.feed(samples::say("after"));
    ASSERT_TRUE(stream.next(&record));
    EXPECT_EQ(record.value("CHAT"), "after");
    EXPECT_EQ(records::RecordStream::overflow_reason(), "more than 64 KB without a record end");
}

// What the page needs from the server and player records is in the one fold.
TEST(ClientFeed, TheWorldBoxAndUserIdsAreFolded) {
    view::Feed feed;
    feed.add(samples::server() + samples::players({"Ann", "Bo"}, {{"USER_ID", "5", "-3"}}));
    EXPECT_GT(feed.state().server.world_x, 0);
    EXPECT_GT(feed.state().server.world_y, 0);
    ASSERT_EQ(feed.state().players.size(), 2u);
    EXPECT_EQ(feed.state().players[0].user_id, 5);
    EXPECT_EQ(feed.state().players[1].user_id, 0);  // not an id
}

TEST(ClientPlayers, NoneThenThirtyTwoAllShown) {
    view::Feed feed;
    feed.add(samples::server() + samples::players({"Alice"}) + samples::players({}));
    EXPECT_TRUE(feed.state().players.empty());
    EXPECT_NE(view::render(feed.state(), 80).find("Players 0/32"), std::string::npos);
    EXPECT_NE(view::render(feed.state(), 80).find("No players"), std::string::npos);
    std::vector<std::string> names;
    for (int slot = 1; slot <= 32; ++slot)
        names.push_back("Player" + std::to_string(slot) + "x");
    feed.add(samples::players(names));
    const std::string shown = view::render(feed.state(), 80);
    for (const std::string &name : names)
        EXPECT_NE(shown.find("\n" + name + " "), std::string::npos) << name;
    EXPECT_NE(shown.find("Players 32/32"), std::string::npos);
}

TEST(ClientObjectives, LatestOfEachKindUntilTheMapChanges) {
    view::Feed feed;
    feed.add(samples::server("de_one") + samples::flags(3) + samples::table("BOMB", {{"BOMB_NUM", "0"}}) +
             samples::flags(1) + samples::server("de_one"));
    EXPECT_EQ(feed.state().objectives.size(), 2u);
    EXPECT_EQ(feed.state().objectives.at("FLAG").entities(), 1u);
    feed.add(samples::server("de_two") + samples::flags(2));
    ASSERT_EQ(feed.state().objectives.size(), 1u);
    EXPECT_EQ(feed.state().objectives.at("FLAG").entities(), 2u);
}

TEST(ClientChat, KeepsTheLastLinesInOrder) {
    view::Feed feed(3);
    feed.add(samples::say("a: 1") + samples::say_team("b: 2") + samples::server_say("3"));
    feed.add(samples::say("a: 4") + samples::say("a: 5"));
    const std::string shown = view::render(feed.state(), 80);
    // Each line after the time it arrived, HH:MM:SS.
    std::istringstream lines(shown.substr(shown.find("Chat\n") + 5));
    std::vector<std::string> texts;
    for (std::string line; std::getline(lines, line);) {
        ASSERT_TRUE(arrival_time_at(line, 0)) << line;
        texts.push_back(line.substr(9));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"[server] 3", "a: 4", "a: 5"}));
}
