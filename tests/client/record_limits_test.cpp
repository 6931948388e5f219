// The limits of what a genuine plug-in sends, as every reader of the stream applies them: a record
// within them folds as before, one over any of them is dropped whole and counted, and the stream
// goes on with the next record.
#include <gtest/gtest.h>

#include "client/sample_records.h"
#include "stream/record_limits.h"
#include "stream/view_state.h"
#include "support/hostile_records.h"

namespace {

// The feed after the server record, the given one, then a chat line: what was folded and dropped.
struct Outcome {
    size_t over_limits = 0;
    size_t sentries = 0;
    size_t players = 0;
    bool chat_after = false;
};

Outcome feed_between(const std::string &record) {
    view::Feed feed;
    feed.add(samples::server() + record + samples::say("after"));
    Outcome outcome;
    outcome.over_limits = feed.over_limits();
    const auto sentry = feed.state().objectives.find("SENTRY");
    outcome.sentries = sentry == feed.state().objectives.end() ? 0 : sentry->second.entities();
    outcome.players = feed.state().players.size();
    outcome.chat_after = !feed.state().chat.empty() && feed.state().chat.back().text == "after";
    return outcome;
}

}  // namespace

TEST(RecordLimits, TheLargestGenuineShapesFold) {
    // 19 sentries (the builder's table) with 32 keys of six-character cells: 4427 bytes.
    const std::string sentries = hostile::table_record("SENTRY", 19, records::kMostKeys, "1.0000");
    ASSERT_LE(sentries.size(), records::kMostRecordBytes);
    Outcome outcome = feed_between(sentries);
    EXPECT_EQ(outcome.over_limits, 0u);
    EXPECT_EQ(outcome.sentries, 19u);
    EXPECT_TRUE(outcome.chat_after);

    outcome = feed_between(samples::players(std::vector<std::string>(records::kMostPlayers, "Somebody")));
    EXPECT_EQ(outcome.over_limits, 0u);
    EXPECT_EQ(outcome.players, records::kMostPlayers);
}

TEST(RecordLimits, ARecordOverAnyLimitIsDroppedWholeAndTheStreamGoesOn) {
    struct Case {
        const char *what;
        std::string record;
    };
    const Case cases[] = {
        {"one entity more than the sentry table", hostile::table_record("SENTRY", 20, 8)},
        {"one key more", hostile::table_record("SENTRY", 2, records::kMostKeys + 1)},
        {"one player more than the slots", hostile::players_with_junk(records::kMostPlayers + 1, 0)},
        {"tabs then keys, within the bytes", hostile::tabs_then_keys("SENTRY", 1500, 500)},
        {"20,000 players and junk lines", hostile::players_with_junk(20000, 3000)},
        {"one byte over", hostile::table_record("SENTRY", 1, 1, std::string(4999, 'x'))},
    };
    for (const Case &c : cases) {
        const Outcome outcome = feed_between(c.record);
        EXPECT_EQ(outcome.over_limits, 1u) << c.what;
        EXPECT_EQ(outcome.sentries, 0u) << c.what;
        EXPECT_EQ(outcome.players, 0u) << c.what;
        EXPECT_TRUE(outcome.chat_after) << c.what;
    }
}

TEST(RecordLimits, FoldItselfRefusesARecordOverTheLimits) {
    records::Record record;
    ASSERT_TRUE(records::parse_record(hostile::table_record("SENTRY", 20, 8), &record));
    EXPECT_EQ(records::excess(record), records::Excess::entities);
    view::State state;
    EXPECT_FALSE(view::fold(state, record));
    EXPECT_TRUE(state.objectives.empty());
    EXPECT_EQ(records::describe(records::excess(record), record), "20 entities, at most 19");
}

TEST(RecordLimits, AKeyGivenTwiceReadsItsFirstLine) {
    records::Record record;
    ASSERT_TRUE(records::parse_record("TYPE\tSERVER\nMAP_NAME\tfirst\nMAP_NAME\tsecond\nHOST_NAME\t\n\n", &record));
    EXPECT_EQ(record.value("MAP_NAME"), "first");
    ASSERT_NE(record.fields("HOST_NAME"), nullptr);
    EXPECT_TRUE(record.fields("HOST_NAME")->empty());
    EXPECT_EQ(record.fields("NONE"), nullptr);
    // Parsed again into the same record: nothing of the last one's keys is left.
    ASSERT_TRUE(records::parse_record("TYPE\tSAY\nCHAT\thi\n\n", &record));
    EXPECT_EQ(record.fields("MAP_NAME"), nullptr);
    EXPECT_EQ(record.value("CHAT"), "hi");
}
