// The soak's judgements: the report cycles a client saw, and the growth of the samples.
#include "soak/cycle_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "soak/samples.h"

namespace {

soak::CycleRules cstrike_rules() {
    soak::CycleRules rules;
    rules.objectives = {"BOMB", "HOSTAGE"};
    rules.refresh_seconds = 5.0;
    rules.time_limit_seconds = 1200.0;
    rules.map_seconds = 120.0;
    return rules;
}

records::Record record(const std::string &text) {
    records::Record parsed;
    EXPECT_TRUE(records::parse_record(text, &parsed)) << text;
    return parsed;
}

records::Record kind(const std::string &type) { return record("TYPE\t" + type + "\nNAMES\tx\n\n"); }

// A SERVER record built at this many seconds of the map's clock.
records::Record server(const std::string &map, double clock) {
    char timeleft[32];
    std::snprintf(timeleft, sizeof(timeleft), "%.2f", 1200.0 - clock);
    return record("TYPE\tSERVER\nMAP_NAME\t" + map + "\nTIMELEFT\t" + timeleft + "\n\n");
}

void cycle(soak::CycleCheck &check, const std::string &map, double clock) {
    check.take(server(map, clock));
    check.take(kind("BOMB"));
    check.take(kind("SAY"));  // chat may come between the reports
    check.take(kind("HOSTAGE"));
    check.take(kind("PLAYER"));
}

TEST(CycleCheck, WholeCyclesWithChatBetweenThemPass) {
    soak::CycleCheck check(cstrike_rules());
    check.take(kind("HOSTAGE"));  // joined mid-cycle: the rest of it is not judged
    check.take(kind("PLAYER"));
    for (double clock : {3.0, 8.1, 11.2, 18.2})  // the SERVER record lags the cycle by up to its timer
        cycle(check, "de_dust", clock);
    EXPECT_EQ(check.cycles(), 4u);
    EXPECT_EQ(check.missed(), 0u);
    EXPECT_EQ(check.faults(), 0u) << check.fault_notes().front();
    EXPECT_EQ(check.chat_records(), 4u);
    EXPECT_NEAR(check.game_seconds(), 15.2, 1e-6);
}

TEST(CycleCheck, AClockStepOfTwoPeriodsIsAMissedCycle) {
    soak::CycleCheck check(cstrike_rules());
    cycle(check, "de_dust", 3.0);
    cycle(check, "de_dust", 13.1);
    cycle(check, "de_dust", 28.1);
    EXPECT_EQ(check.missed(), 3u);
    ASSERT_EQ(check.fault_notes().size(), 2u);
    EXPECT_NE(check.fault_notes()[0].find("a step of 10.10 s"), std::string::npos) << check.fault_notes()[0];
}

TEST(CycleCheck, CyclesCutShortOrOutOfOrderAreFaults) {
    soak::CycleCheck check(cstrike_rules());
    check.take(server("de_dust", 3.0));
    check.take(kind("BOMB"));
    check.take(server("de_dust", 8.0));  // HOSTAGE and PLAYER never came
    check.take(kind("HOSTAGE"));         // BOMB was due
    check.take_malformed();
    EXPECT_EQ(check.cycles(), 0u);
    ASSERT_EQ(check.faults(), 3u);
    EXPECT_NE(check.fault_notes()[0].find("cut short before its HOSTAGE"), std::string::npos);
    EXPECT_NE(check.fault_notes()[1].find("a HOSTAGE record where BOMB was due"), std::string::npos);
    EXPECT_NE(check.fault_notes()[2].find("not well formed"), std::string::npos);
}

TEST(CycleCheck, AMapChangeCountsTheRestOfTheOldMapAndTheStartOfTheNew) {
    soak::CycleCheck check(cstrike_rules());
    cycle(check, "de_dust", 117.0);
    cycle(check, "cs_office", 3.0);  // 4 s left of the old map, 2 s of the new one
    EXPECT_EQ(check.map_changes(), 1u);
    EXPECT_EQ(check.faults(), 0u);
    soak::CycleCheck again(cstrike_rules());
    cycle(again, "cs_office", 118.0);
    cycle(again, "cs_office", 9.0);  // the same map again: the clock went back; 3 s + 8 s
    EXPECT_EQ(again.map_changes(), 1u);
    EXPECT_EQ(again.missed(), 1u);
}

TEST(CycleCheck, AServerRecordWithoutAClockIsAFault) {
    soak::CycleCheck check(cstrike_rules());
    check.take(record("TYPE\tSERVER\nMAP_NAME\tde_dust\nTIMELEFT\tsoon\n\n"));
    EXPECT_EQ(check.faults(), 1u);
}

soak::Sample sample(double real_seconds, long long heap, long rss, int descriptors, std::uint64_t cycles) {
    soak::Sample taken;
    taken.real_seconds = real_seconds;
    taken.heap_bytes = heap;
    taken.rss_kb = rss;
    taken.descriptors = descriptors;
    taken.free_slots = 9;
    taken.cycles = cycles;
    return taken;
}

TEST(GrowthFaults, GrowthDuringTheWarmUpIsAllowedAndFlatSamplesPass) {
    const std::vector<soak::Sample> samples = {sample(0, 1000000, 6000, 9, 1), sample(60, 1500000, 6400, 9, 100),
                                               sample(120, 1510000, 6450, 9, 200), sample(180, 1505000, 6440, 9, 300)};
    EXPECT_TRUE(soak::growth_faults(samples, {60, 64, 256}).empty());
    const std::string table = soak::sample_table(samples);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 5);
}

TEST(GrowthFaults, HeapResidentDescriptorsAndStalledCyclesAfterTheWarmUpFail) {
    std::vector<soak::Sample> samples = {sample(60, 1500000, 6400, 9, 100), sample(120, 1600000, 6400, 9, 200),
                                         sample(180, 1500000, 6700, 9, 300), sample(240, 1500000, 6400, 10, 300)};
    samples.back().free_slots = 8;
    const std::vector<std::string> faults = soak::growth_faults(samples, {60, 64, 256});
    ASSERT_EQ(faults.size(), 5u);
    EXPECT_NE(faults[0].find("heap in use grew by 100000 bytes"), std::string::npos) << faults[0];
    EXPECT_NE(faults[1].find("resident memory grew by 300 KB"), std::string::npos) << faults[1];
    EXPECT_NE(faults[2].find("10 descriptors open, 9 after the warm-up"), std::string::npos) << faults[2];
    EXPECT_NE(faults[3].find("8 free slots"), std::string::npos) << faults[3];
    EXPECT_NE(faults[4].find("no report cycle"), std::string::npos) << faults[4];
}

TEST(GrowthFaults, ARunEndingBeforeTheWarmUpHasNothingToJudgeBy) {
    EXPECT_FALSE(soak::growth_faults({sample(0, 1, 1, 9, 1), sample(30, 1, 1, 9, 2)}, {60, 64, 256}).empty());
}

}  // namespace
