// orlex_web's recording directory on its own: one file per server and map, names that sort by
// time, the size limit, and a write error that ends one server's recording only; and the replay's
// timeline built from such a file.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "client/sample_records.h"
#include "recording/reader.h"
#include "stream/records.h"
#include "web/rate_window.h"
#include "web/recorder.h"
#include "web/recording_files.h"
#include "web/replay_timeline.h"
#include "web/state_json.h"

namespace {

using Clock = web::RecordingFiles::Clock;

std::string fresh_directory() {
    std::string pattern = testing::TempDir() + "orlex_recorder_XXXXXX";
    return mkdtemp(&pattern[0]) ? pattern : "";
}

recording::Recording read_back(const std::string &path) {
    recording::Recording recorded;
    std::string error;
    EXPECT_TRUE(recording::read_recording(path, &recorded, &error)) << error;
    return recorded;
}

// Whole records, as the pipeline hands them on.
void add(web::RecordingFiles &recorder, const std::string &server, const std::string &bytes, Clock::time_point at) {
    records::RecordStream split;
    split.feed(bytes);
    records::Record record;
    while (split.next_any(&record))
        recorder.add(server, "127.0.0.1:40015", web::RecordText::of(record), at);
}

records::Record parsed(const std::string &text) {
    records::Record record;
    records::parse_record(text, &record);
    return record;
}

// One datagram's text of a server's log (its line feed removed): a kill, the seconds of its stamp counting up.
std::string kill_line(int count) {
    const std::string seconds = std::to_string(10 + count % 50);
    return "L 09/25/2024 - 21:14:" + seconds + ": \"Ann<1><STEAM_0:1:7><CT>\" killed \"P" + std::to_string(count % 9) +
           "<2><BOT><TERRORIST>\" with \"m4a1\"";
}

}  // namespace

TEST(Recorder, OneFilePerServerAndMapNamedByTime) {
    const std::string directory = fresh_directory();
    web::RecordingFiles recorder(directory, 1 << 30);
    std::string error;
    ASSERT_TRUE(recorder.prepare(&error)) << error;
    const Clock::time_point start = Clock::now();
    const std::string early_players = samples::players({"Ann"});
    // Records before the map is known wait for the server record and keep their own times.
    add(recorder, "alpha", early_players, start);
    EXPECT_EQ(recorder.current_file("alpha"), "");
    add(recorder, "alpha", samples::server("de_dust"), start + std::chrono::milliseconds(40));
    add(recorder, "beta", samples::server("cs_office") + samples::players({"Bo"}), start);
    const std::string first_alpha = recorder.current_file("alpha");
    ASSERT_NE(first_alpha, "");
    EXPECT_NE(first_alpha.find("_alpha_de_dust.orlexrec"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // distinct start times in the names
    // A new map: a new file, which starts with the server record naming it.
    add(recorder, "alpha", samples::players({"Ann", "Cy"}) + samples::server("de/inferno"),
        start + std::chrono::milliseconds(900));
    add(recorder, "alpha", samples::say("Ann: hi"), start + std::chrono::milliseconds(1000));
    const std::string second_alpha = recorder.current_file("alpha");
    EXPECT_NE(second_alpha.find("_alpha_de_inferno.orlexrec"), std::string::npos);  // no '/' from the network
    recorder.forget("alpha");
    recorder.forget("beta");

    const std::vector<std::string> files = recorder.files();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files.back(), second_alpha);  // sorted by name is sorted by time

    const recording::Recording first = read_back(first_alpha);
    EXPECT_EQ(first.header.server, "alpha");
    EXPECT_EQ(first.header.map, "de_dust");
    ASSERT_EQ(first.entries.size(), 3u);
    EXPECT_EQ(first.record(0), early_players);
    EXPECT_EQ(first.entries[1].arrival_ms, 40u);
    EXPECT_EQ(first.record(2), samples::players({"Ann", "Cy"}));
    const recording::Recording second = read_back(second_alpha);
    ASSERT_EQ(second.entries.size(), 2u);
    EXPECT_EQ(second.record(0), samples::server("de/inferno"));
    EXPECT_EQ(second.entries[1].arrival_ms, 100u);
}

TEST(Recorder, KeepsTheDirectoryUnderItsLimitDeletingTheOldestFirst) {
    const std::string directory = fresh_directory();
    const uint64_t limit = 20000;
    web::RecordingFiles recorder(directory, limit);
    std::string error;
    ASSERT_TRUE(recorder.prepare(&error)) << error;
    const std::string players = samples::players({"Ann", "Bo", "Cy", "Di"});
    std::string first_file;
    for (int map = 0; map < 30; ++map) {
        add(recorder, "alpha", samples::server("map" + std::to_string(map)), Clock::now());
        if (first_file.empty())
            first_file = recorder.current_file("alpha");
        for (int cycle = 0; cycle < 3; ++cycle)
            add(recorder, "alpha", players, Clock::now());
        uint64_t total = 0;
        for (const std::string &path : recorder.files())
            total += read_back(path).data.size();
        EXPECT_LE(total, limit);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(access(first_file.c_str(), F_OK), -1);  // the oldest went first
    EXPECT_EQ(recorder.files().back(), recorder.current_file("alpha"));
    // One file that passes the limit alone: it is closed and deleted, its server going on in a new one.
    for (int cycle = 0; cycle < 40; ++cycle)
        add(recorder, "alpha", players, Clock::now());
    ASSERT_FALSE(recorder.files().empty());
    uint64_t total = 0;
    for (const std::string &path : recorder.files())
        total += read_back(path).data.size();
    EXPECT_LE(total, limit);
    EXPECT_NE(recorder.current_file("alpha"), "");
}

// Two servers share the limit: the one sending much loses only its own oldest files, the other's
// recording stays whole; a file of an earlier run goes before either's.
TEST(RecordingFiles, EachServerKeepsItsShareAndFilesOfEarlierRunsGoFirst) {
    const std::string directory = fresh_directory();
    {
        web::RecordingFiles earlier(directory, 1 << 20);
        std::string error;
        ASSERT_TRUE(earlier.prepare(&error)) << error;
        add(earlier, "old", samples::server("de_old"), Clock::now());
        for (int count = 0; count < 8; ++count)
            add(earlier, "old", samples::say(std::string(3000, 'o')), Clock::now());
    }
    const uint64_t limit = 40000;
    web::RecordingFiles recorder(directory, limit);
    std::string error;
    ASSERT_TRUE(recorder.prepare(&error)) << error;
    const std::string old_file = recorder.files().front();
    add(recorder, "fine", samples::server("de_fine"), Clock::now());
    add(recorder, "fine", samples::players({"Ann", "Bo"}), Clock::now());
    const std::string fine_file = recorder.current_file("fine");
    const std::string line(3000, 'x');
    for (int map = 0; map < 20; ++map) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));  // names differ by their times
        add(recorder, "flood", samples::server("de_flood" + std::to_string(map)), Clock::now());
        for (int count = 0; count < 3; ++count)
            add(recorder, "flood", samples::say(line), Clock::now());
    }
    EXPECT_EQ(recorder.share(), limit / 2);
    EXPECT_EQ(access(old_file.c_str(), F_OK), -1);
    EXPECT_EQ(recorder.current_file("fine"), fine_file);
    ASSERT_EQ(access(fine_file.c_str(), F_OK), 0);
    EXPECT_EQ(read_back(fine_file).entries.size(), 2u);
    uint64_t flood_bytes = 0;
    for (const std::string &path : recorder.files())
        if (path.find("_flood_") != std::string::npos)
            flood_bytes += read_back(path).data.size();
    EXPECT_LE(flood_bytes, limit / 2);
    EXPECT_LE(recorder.total_bytes(), limit);
}

TEST(RateWindow, BytesASecondOverTheLastFiveSeconds) {
    web::RateWindow window;
    const Clock::time_point start = Clock::time_point() + std::chrono::hours(1);
    window.add(5000, start);
    window.add(5000, start + std::chrono::milliseconds(900));
    EXPECT_DOUBLE_EQ(window.rate(start), 2000);
    window.add(10000, start + std::chrono::seconds(4));
    EXPECT_DOUBLE_EQ(window.rate(start + std::chrono::seconds(4)), 4000);
    EXPECT_DOUBLE_EQ(window.rate(start + std::chrono::seconds(5)), 2000);  // the first second gone
    EXPECT_DOUBLE_EQ(window.rate(start + std::chrono::seconds(3)), 2000);  // a clock gone back changes nothing
    EXPECT_DOUBLE_EQ(window.rate(start + std::chrono::seconds(60)), 0);
}

// A file-size limit stands in for a full disk: logged once, that server's recording stops, and
// the other servers' goes on.
TEST(Recorder, AWriteErrorStopsThatServersRecordingOnly) {
    const std::string directory = fresh_directory();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        web::RecordingFiles recorder(directory, 1 << 30);
        std::string error;
        if (!recorder.prepare(&error))
            _exit(10);
        add(recorder, "small", samples::server("de_dust"), Clock::now());
        add(recorder, "big", samples::server("de_dust"), Clock::now());
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 3000;
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string players = samples::players({"Ann", "Bo", "Cy", "Di", "Ed", "Flo"});
        for (int cycle = 0; cycle < 40; ++cycle)
            add(recorder, "big", players, Clock::now());
        add(recorder, "small", samples::say("still here"), Clock::now());
        _exit(recorder.current_file("big").empty() && !recorder.current_file("small").empty() ? 0 : 11);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const std::string &path : web::RecordingFiles::list(directory)) {
        const recording::Recording recorded = read_back(path);
        EXPECT_EQ(recorded.torn_offset, 0u) << path;
        EXPECT_EQ(recorded.entries.size(), recorded.header.server == "small" ? 2u : recorded.entries.size());
    }
}

// A server's log lines go into its file among its records, in the order they came; before the file
// opens they wait, as many as records may, and a log alone opens no file. They count toward the
// rate the recording pauses at, as records do.
TEST(Recorder, LogLinesGoIntoTheServersFileAmongItsRecords) {
    const std::string directory = fresh_directory();
    web::Recorder recorder(directory, 1 << 30);
    std::string error;
    ASSERT_TRUE(recorder.prepare(&error)) << error;
    const Clock::time_point start = Clock::now();
    for (int count = 0; count < 100; ++count)
        recorder.add_log_line("alpha", "127.0.0.1:1", kill_line(count), start);
    recorder.add_log_line("alpha", "127.0.0.1:1", "", start);  // nothing to keep
    recorder.flush();
    EXPECT_TRUE(recorder.files().empty());
    recorder.add("alpha", "127.0.0.1:1", parsed(samples::server("de_dust")), start + std::chrono::milliseconds(30));
    recorder.add_log_line("alpha", "127.0.0.1:1", kill_line(100), start + std::chrono::milliseconds(40));
    recorder.add("alpha", "127.0.0.1:1", parsed(samples::players({"Ann"})), start + std::chrono::milliseconds(50));
    recorder.flush();
    ASSERT_EQ(recorder.files().size(), 1u);
    const recording::Recording recorded = read_back(recorder.files()[0]);
    const size_t held = web::RecordingFiles::kHeldRecords;
    ASSERT_EQ(recorded.entries.size(), held + 3);
    for (size_t index = 0; index < held; ++index) {
        ASSERT_TRUE(recorded.is_log_line(index));
        EXPECT_EQ(recorded.record(index), kill_line(static_cast<int>(index)));
        EXPECT_EQ(recorded.entries[index].arrival_ms, 0u);
    }
    EXPECT_EQ(recorded.record(held), samples::server("de_dust"));
    EXPECT_TRUE(recorded.is_log_line(held + 1));
    EXPECT_EQ(recorded.record(held + 1), kill_line(100));
    EXPECT_EQ(recorded.entries[held + 1].arrival_ms, 40u);
    EXPECT_FALSE(recorded.is_log_line(held + 2));

    // Over the rate with log lines alone: the records that follow wait for it to fall as well.
    recorder.set_rate_cap(2048);
    testing::internal::CaptureStderr();
    recorder.add("beta", "127.0.0.1:2", parsed(samples::server("de_dust")), start);
    const std::string long_line = "L 09/25/2024 - 21:14:03: \"Ann<1><BOT><CT>\" say \"" + std::string(900, 'a') + "\"";
    for (int count = 0; count < 20; ++count)
        recorder.add_log_line("beta", "127.0.0.1:2", long_line, start);
    recorder.add("beta", "127.0.0.1:2", parsed(samples::players({"Bo"})), start);
    recorder.flush();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("recording beta paused"), std::string::npos) << said;
    std::string beta_file;
    for (const std::string &file : recorder.files())
        if (file.find("_beta_") != std::string::npos)
            beta_file = file;
    const recording::Recording beta = read_back(beta_file);
    EXPECT_LT(beta.entries.size(), 20u);
    EXPECT_TRUE(beta.is_log_line(beta.entries.size() - 1)) << "the record after the pause was kept";
}

// A seek into a recorded log rebuilds its events from the snapshot before it: the kill feed, the
// round panel and the tallies as folding from the start gave them, the events numbered alike.
TEST(ReplayTimeline, ASeekRebuildsTheLogsEventsWithTheirNumbers) {
    const std::string directory = fresh_directory();
    web::RecordingFiles recorder(directory, 1 << 30);
    std::string error;
    ASSERT_TRUE(recorder.prepare(&error)) << error;
    const Clock::time_point start = Clock::now();
    add(recorder, "alpha", samples::server("de_dust"), start);
    for (int cycle = 0; cycle < 400; ++cycle) {
        const Clock::time_point at = start + std::chrono::milliseconds(100 * cycle);
        recorder.add("alpha", "127.0.0.1:40015", web::RecordText::of_log_line(kill_line(cycle)), at);
        if (cycle % 3 == 0)
            recorder.add("alpha", "127.0.0.1:40015", web::RecordText::of_log_line("no stamp"), at);
        if (cycle % 2 == 0)
            add(recorder, "alpha", samples::players({"Ann"}, {{"KILLS", std::to_string(cycle)}}), at);
    }
    const std::string path = recorder.current_file("alpha");
    recorder.forget("alpha");
    const web::ServerFold blank({"alpha", "127.0.0.1", 40015}, 5);
    const web::ReplayTimeline timeline(read_back(path), blank);
    ASSERT_GT(timeline.size(), 2 * web::ReplayTimeline::kSnapshotEvery);
    web::ServerFold folded = blank;
    for (size_t count = 0; count < timeline.size(); ++count)
        timeline.fold(folded, count);
    EXPECT_EQ(folded.counters.log_lines, 400u);
    EXPECT_EQ(folded.counters.log_malformed, 134u);
    ASSERT_EQ(folded.events.events().size(), 400u);
    EXPECT_EQ(folded.events.events().front().seq, 1u);
    EXPECT_EQ(folded.events.events().back().seq, 400u);
    EXPECT_EQ(folded.events.tallies().at(1).kills, 400);

    const size_t middle = timeline.records_until(timeline.arrival_ms(web::ReplayTimeline::kSnapshotEvery + 7));
    const web::ServerFold sought = timeline.state_after(middle);
    size_t lines = 0;
    for (size_t index = 0; index < middle; ++index)
        lines += timeline.recording().is_log_line(index) && timeline.recording().record(index)[0] == 'L';
    ASSERT_EQ(sought.events.events().size(), lines);
    for (size_t index = 0; index < lines; ++index) {
        EXPECT_EQ(sought.events.events()[index].seq, index + 1);
        EXPECT_EQ(sought.events.events()[index].victim, folded.events.events()[index].victim);
    }
    web::ServerFold from_start = blank;
    for (size_t count = 0; count < middle; ++count)
        timeline.fold(from_start, count);
    EXPECT_EQ(web::detail_text(sought), web::detail_text(from_start));
}

// A seek rebuilds the state from the snapshot before it: the same state as folding every record
// from the start, on either side of each snapshot.
TEST(ReplayTimeline, AStateFromASnapshotEqualsTheStateFoldedFromTheStart) {
    const std::string directory = fresh_directory();
    web::RecordingFiles recorder(directory, 1 << 30);
    std::string error;
    ASSERT_TRUE(recorder.prepare(&error)) << error;
    const Clock::time_point start = Clock::now();
    add(recorder, "alpha", samples::server("de_dust"), start);
    for (int cycle = 0; cycle < 700; ++cycle) {
        const std::string name = "P" + std::to_string(cycle % 9);
        add(recorder, "alpha",
            samples::players({"Ann", name}, {{"KILLS", std::to_string(cycle), "1"}}) +
                samples::say(name + ": " + std::to_string(cycle)),
            start + std::chrono::milliseconds(100 * cycle));
    }
    const std::string path = recorder.current_file("alpha");
    recorder.forget("alpha");
    recording::Recording recorded = read_back(path);
    const web::ServerFold blank({"alpha", "127.0.0.1", 40015}, 5);
    const web::ReplayTimeline timeline(recorded, blank);
    ASSERT_EQ(timeline.size(), 1401u);
    EXPECT_EQ(timeline.records_until(0), 3u);  // the server record and the first cycle, at 0 ms
    EXPECT_EQ(timeline.records_until(150), 5u);
    EXPECT_EQ(timeline.records_until(timeline.length_ms()), timeline.size());
    web::ServerFold folded = blank;
    for (size_t count = 0; count <= timeline.size(); ++count) {
        if (count % web::ReplayTimeline::kSnapshotEvery <= 1 || count % 97 == 0 || count == timeline.size()) {
            ASSERT_EQ(web::detail_text(timeline.state_after(count)), web::detail_text(folded)) << count;
        }
        if (count < timeline.size())
            timeline.fold(folded, count);
    }
}

// Age is the UTC time a name starts with: a name without one counts as oldest, and a collision's
// suffix sorts after the original. The directory is brought under its limit in that order at start.
TEST(RecordingFiles, DeletesByTheTimeInTheNameAndACollisionSortsAfterItsOriginal) {
    const std::string directory = fresh_directory();
    const std::vector<std::string> oldest_first = {
        "copied.orlexrec", "20240101T000000.000Z_z_m.orlexrec", "20250101T120000.000Z_a_m.orlexrec",
        "20250101T120000.000Z_a_m_002.orlexrec", "20250101T120000.001Z_a_m.orlexrec"};
    for (auto name = oldest_first.rbegin(); name != oldest_first.rend(); ++name) {
        FILE *file = std::fopen((directory + "/" + *name).c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs(std::string(1000, 'x').c_str(), file);
        std::fclose(file);
    }
    std::vector<std::string> expected;
    for (const std::string &name : oldest_first)
        expected.push_back(directory + "/" + name);
    EXPECT_EQ(web::RecordingFiles::list(directory), expected);
    for (size_t at = 0; at + 1 < oldest_first.size(); ++at) {
        EXPECT_TRUE(web::RecordingFiles::older(oldest_first[at], oldest_first[at + 1])) << oldest_first[at];
        EXPECT_FALSE(web::RecordingFiles::older(oldest_first[at + 1], oldest_first[at])) << oldest_first[at];
    }

    web::RecordingFiles recorder(directory, 2500);
    std::string error;
    ASSERT_TRUE(recorder.prepare(&error)) << error;
    EXPECT_EQ(recorder.files(), std::vector<std::string>(expected.begin() + 3, expected.end()));
    EXPECT_EQ(recorder.total_bytes(), 2000u);
}

// The disk held up on the recorder's thread: adding never waits for it. Once the queue is full
// that server's recording stops with one line and what of it still waits is dropped; it is
// recorded again once forgotten and watched anew.
TEST(Recorder, ASlowDiskStopsTheRecordingNotTheCaller) {
    const std::string directory = fresh_directory();
    std::mutex disk;
    std::unique_lock<std::mutex> held(disk);
    std::atomic<bool> writing{false};
    web::Recorder recorder(directory, 1 << 30, 16 * 1024, [&] {
        writing = true;
        std::lock_guard<std::mutex> wait(disk);
    });
    std::string error;
    ASSERT_TRUE(recorder.prepare(&error)) << error;
    const records::Record players = parsed(samples::players({"Ann", "Bo", "Cy"}));
    testing::internal::CaptureStderr();
    recorder.add("alpha", "127.0.0.1:1", parsed(samples::server("de_dust")), Clock::now());
    for (int waited = 0; !writing && waited < 30000; ++waited)  // the thread holds the first record
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(writing);
    size_t accepted = 1;
    for (; accepted < 10000 && !recorder.stopped("alpha"); ++accepted)
        recorder.add("alpha", "127.0.0.1:1", players, Clock::now());
    for (int more = 0; more < 100; ++more)
        recorder.add("alpha", "127.0.0.1:1", players, Clock::now());
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(recorder.stopped("alpha"));
    EXPECT_LT(accepted, 16u * 1024 / players.text.size() + 3);
    EXPECT_EQ(said.find("recording alpha: the disk is too slow"), said.rfind("recording alpha:")) << said;
    EXPECT_NE(said.find("recording stops for this server, watching goes on"), std::string::npos) << said;

    held.unlock();
    recorder.flush();
    std::vector<std::string> files = recorder.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(read_back(files[0]).entries.size(), 1u);  // what was being written when it stopped

    recorder.forget("alpha");
    EXPECT_FALSE(recorder.stopped("alpha"));
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a distinct start time in the name
    recorder.add("alpha", "127.0.0.1:1", parsed(samples::server("de_dust")), Clock::now());
    recorder.flush();
    EXPECT_EQ(recorder.files().size(), 2u);
}
