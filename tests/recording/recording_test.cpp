// The recording file: records and log lines written and read back, cut at every byte as a crash
// would leave it, damaged, foreign, older and newer files, and a write refused by the system.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "recording/reader.h"
#include "recording/writer.h"

namespace {

using Clock = recording::Writer::Clock;

std::string temp_path(const std::string &name) {
    static int serial = 0;
    return testing::TempDir() + "orlex_rec_" + std::to_string(getpid()) + "_" + std::to_string(++serial) + "_" + name;
}

std::string slurp(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const std::vector<std::string> kRecords = {
    "TYPE\tSERVER\nMAP_NAME\tde_dust\nHOST_NAME\tsim\n\n",
    "TYPE\tPLAYER\nNAMES\tAce\tBlaze\t\nKILLS\t1\t2\t\n\n",
    "TYPE\tSAY\nCHAT\t\"gg\"\n\n",
};
const std::vector<std::string> kLogLines = {
    "L 09/25/2024 - 21:14:03: World triggered \"Round_Start\"",
    "L 09/25/2024 - 21:14:09: \"Ace<2><STEAM_0:1:5><CT>\" killed \"Blaze<3><BOT><TERRORIST>\" with \"m4a1\"",
};

struct Sample {
    recording::EntryKind kind;
    std::string bytes;
};
// Records and log lines in turn, as one server sends them.
const std::vector<Sample> kEntries = {
    {recording::EntryKind::record, kRecords[0]}, {recording::EntryKind::log_line, kLogLines[0]},
    {recording::EntryKind::record, kRecords[1]}, {recording::EntryKind::log_line, kLogLines[1]},
    {recording::EntryKind::record, kRecords[2]},
};

recording::Header sample_header() {
    recording::Header header;
    header.server = "alpha";
    header.address = "127.0.0.1:40015";
    header.map = "de_dust";
    header.writer = "test";
    header.start_ms = 1700000000123;
    return header;
}

// The entries written at 0, 125, 250 ... ms; the file's bytes.
std::string write_sample(const std::string &path) {
    recording::Writer writer;
    std::string error;
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(writer.create(path, sample_header(), start, &error)) << error;
    for (size_t index = 0; index < kEntries.size(); ++index) {
        const Clock::time_point at = start + std::chrono::milliseconds(125 * index);
        const bool written = kEntries[index].kind == recording::EntryKind::record
                                 ? writer.append(kEntries[index].bytes, at, &error)
                                 : writer.append_log_line(kEntries[index].bytes, at, &error);
        EXPECT_TRUE(written) << error;
    }
    writer.close();
    return slurp(path);
}

// The same bytes as a version 1 file: the version and the header's checksum rewritten.
std::string as_version_1(std::string bytes) {
    bytes[8] = 1;
    const size_t header_end =
        recording::kFixedHeaderSize + recording::get_u16(reinterpret_cast<const unsigned char *>(&bytes[10]));
    std::string checksum;
    recording::put_u32(checksum, recording::checksum(bytes.data(), header_end));
    return bytes.replace(header_end, recording::kChecksumSize, checksum);
}

// A file of records alone, as version 1 wrote them.
std::string version_1_sample(const std::string &path) {
    recording::Writer writer;
    std::string error;
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(writer.create(path, sample_header(), start, &error)) << error;
    for (size_t index = 0; index < kRecords.size(); ++index)
        EXPECT_TRUE(writer.append(kRecords[index], start + std::chrono::milliseconds(250 * index), &error)) << error;
    writer.close();
    return as_version_1(slurp(path));
}

bool parse(const std::string &bytes, recording::Recording *recorded, std::string *error) {
    return recording::parse_recording(bytes, "x.orlexrec", recorded, error);
}

}  // namespace

TEST(RecordingFile, ReadsBackHeaderRecordsAndTimes) {
    const std::string path = temp_path("a.orlexrec");
    write_sample(path);
    recording::Recording recorded;
    std::string error;
    ASSERT_TRUE(recording::read_recording(path, &recorded, &error)) << error;
    EXPECT_EQ(recorded.header.server, "alpha");
    EXPECT_EQ(recorded.header.address, "127.0.0.1:40015");
    EXPECT_EQ(recorded.header.map, "de_dust");
    EXPECT_EQ(recorded.header.start_ms, 1700000000123);
    EXPECT_EQ(recorded.version, 2);
    ASSERT_EQ(recorded.entries.size(), kEntries.size());
    for (size_t index = 0; index < kEntries.size(); ++index) {
        EXPECT_EQ(recorded.record(index), kEntries[index].bytes);
        EXPECT_EQ(recorded.entries[index].kind, kEntries[index].kind) << index;
        EXPECT_EQ(recorded.entries[index].arrival_ms, 125 * index);
    }
    EXPECT_EQ(recorded.torn_offset, 0u);
    EXPECT_EQ(recorded.length_ms(), 500u);

    // Never over an existing file: a second recorder must not destroy the first one's.
    recording::Writer again;
    EXPECT_FALSE(again.create(path, sample_header(), Clock::now(), &error));
    EXPECT_NE(error.find(path), std::string::npos);
    EXPECT_EQ(slurp(path).size(), recorded.data.size());
}

// What a crash leaves: the file cut anywhere after its header reads back as the entries that were
// whole, the rest named as a torn tail; never an error, never a wrong record.
TEST(RecordingFile, CutAtEveryByteReadsBackAPrefix) {
    const std::string bytes = write_sample(temp_path("cut.orlexrec"));
    recording::Recording whole;
    std::string error;
    ASSERT_TRUE(parse(bytes, &whole, &error));
    const size_t first_entry = whole.entries.front().offset - recording::kEntryHeadSize;
    for (size_t cut = first_entry; cut <= bytes.size(); ++cut) {
        recording::Recording recorded;
        ASSERT_TRUE(parse(bytes.substr(0, cut), &recorded, &error)) << cut << ": " << error;
        size_t ends_at = first_entry;
        for (size_t index = 0; index < recorded.entries.size(); ++index) {
            EXPECT_EQ(recorded.record(index), kEntries[index].bytes);
            EXPECT_EQ(recorded.entries[index].kind, kEntries[index].kind);
            ends_at = recorded.entries[index].offset + recorded.entries[index].size + recording::kChecksumSize;
        }
        EXPECT_EQ(recorded.torn_offset, cut == ends_at ? 0 : ends_at) << cut;
        if (cut != ends_at) {
            EXPECT_NE(recorded.torn_note().find("x.orlexrec: byte " + std::to_string(ends_at)), std::string::npos);
        }
    }
    // Space the file system gave the file but a power cut left unwritten reads as zeros.
    recording::Recording zero_tail;
    ASSERT_TRUE(parse(bytes + std::string(300, '\0'), &zero_tail, &error)) << error;
    EXPECT_EQ(zero_tail.entries.size(), kEntries.size());
    EXPECT_EQ(zero_tail.torn_offset, bytes.size());
}

TEST(RecordingFile, DamagedForeignNewerAndTruncatedFilesGiveOneErrorWithTheOffset) {
    const std::string bytes = write_sample(temp_path("bad.orlexrec"));
    recording::Recording whole, recorded;
    std::string error;
    ASSERT_TRUE(parse(bytes, &whole, &error));
    const size_t first = whole.entries[0].offset - recording::kEntryHeadSize;

    auto error_of = [&](const std::string &data) {
        std::string message;
        EXPECT_FALSE(parse(data, &recorded, &message));
        return message;
    };
    std::string damaged = bytes;
    damaged[whole.entries[0].offset + 3] ^= 0x20;  // a bit flipped in the first record, more after it
    EXPECT_EQ(error_of(damaged),
              "x.orlexrec: byte " + std::to_string(first) + ": the entry is damaged (checksum does not match)");

    std::string long_entry = bytes;
    long_entry[first + 7] = 0x7f;  // a length of about 2 GB, with entries after it
    EXPECT_NE(error_of(long_entry).find("byte " + std::to_string(first + 4) + ": entry length"), std::string::npos);

    // A log line's entry is held to the same bounds: its checksum, and its length beside its kind.
    const size_t log_line = whole.entries[1].offset - recording::kEntryHeadSize;
    std::string damaged_line = bytes;
    damaged_line[whole.entries[1].offset] ^= 0x01;
    EXPECT_EQ(error_of(damaged_line),
              "x.orlexrec: byte " + std::to_string(log_line) + ": the entry is damaged (checksum does not match)");
    std::string long_line = bytes;
    long_line[log_line + 6] = 0x7f;  // the kind bit kept, the length some 8 MB
    EXPECT_EQ(error_of(long_line), "x.orlexrec: byte " + std::to_string(log_line + 4) + ": entry length " +
                                       std::to_string(0x7f0000 + kLogLines[0].size()) + " is out of range");
    std::string empty_line = bytes;
    for (size_t at = log_line + 4; at < log_line + 7; ++at)
        empty_line[at] = 0;  // the kind bit alone: no bytes
    EXPECT_EQ(error_of(empty_line),
              "x.orlexrec: byte " + std::to_string(log_line + 4) + ": entry length 0 is out of range");

    EXPECT_EQ(error_of("TYPE\tSERVER\nMAP_NAME\tde_dust\n\n"),
              "x.orlexrec: byte 0: not a recording (it does not start with ORLEXREC)");
    EXPECT_EQ(error_of(""), "x.orlexrec: byte 0: not a recording (it does not start with ORLEXREC)");

    std::string newer = bytes;
    newer[8] = 3;
    EXPECT_EQ(error_of(newer),
              "x.orlexrec: byte 8: format version 3; this program reads versions 1 to 2 (the file is newer)");
    std::string unknown = bytes;
    unknown[8] = 0;
    EXPECT_EQ(error_of(unknown), "x.orlexrec: byte 8: format version 0; this program reads versions 1 to 2");

    EXPECT_EQ(error_of(bytes.substr(0, 20)), "x.orlexrec: byte 20: the file ends inside its header");
    std::string header_damaged = bytes;
    header_damaged[14] ^= 1;
    EXPECT_NE(error_of(header_damaged).find("the header is damaged"), std::string::npos);

    EXPECT_NE(recording::read_recording(temp_path("missing"), &recorded, &error) ? "" : error, "");
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

// Files written before log lines were kept read as they always did; in them the top bit of a length
// is no kind but a length out of range.
TEST(RecordingFile, AVersionOneFileStillReadsAndKnowsNoLogLines) {
    const std::string bytes = version_1_sample(temp_path("v1.orlexrec"));
    recording::Recording recorded;
    std::string error;
    ASSERT_TRUE(parse(bytes, &recorded, &error)) << error;
    EXPECT_EQ(recorded.version, 1);
    ASSERT_EQ(recorded.entries.size(), kRecords.size());
    for (size_t index = 0; index < kRecords.size(); ++index) {
        EXPECT_EQ(recorded.record(index), kRecords[index]);
        EXPECT_FALSE(recorded.is_log_line(index));
    }
    const size_t cut = recorded.entries[1].offset + 3;
    ASSERT_TRUE(parse(bytes.substr(0, cut), &recorded, &error)) << error;
    EXPECT_EQ(recorded.entries.size(), 1u);
    EXPECT_EQ(recorded.torn_offset, recorded.entries[0].offset + kRecords[0].size() + recording::kChecksumSize);

    const std::string with_lines = as_version_1(write_sample(temp_path("v1_lines.orlexrec")));
    ASSERT_TRUE(parse(write_sample(temp_path("v2.orlexrec")), &recorded, &error)) << error;
    const size_t log_line = recorded.entries[1].offset - recording::kEntryHeadSize;
    EXPECT_FALSE(parse(with_lines, &recorded, &error));
    EXPECT_EQ(error, "x.orlexrec: byte " + std::to_string(log_line + 4) + ": entry length " +
                         std::to_string(0x80000000u + kLogLines[0].size()) + " is out of range");
}

// Nothing empty and nothing over the bound is written, of either kind; the file stays whole.
TEST(RecordingFile, ALogLineEmptyOrTooLongIsRefused) {
    const std::string path = temp_path("refused.orlexrec");
    recording::Writer writer;
    std::string error;
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(writer.create(path, sample_header(), start, &error)) << error;
    EXPECT_FALSE(writer.append_log_line("", start, &error));
    EXPECT_NE(error.find("a log line of 0 bytes cannot be recorded"), std::string::npos) << error;
    EXPECT_FALSE(writer.append_log_line(std::string(recording::kLongestRecord + 1, 'x'), start, &error));
    EXPECT_TRUE(writer.append_log_line(std::string(recording::kLongestRecord, 'x'), start, &error)) << error;
    writer.close();
    recording::Recording recorded;
    ASSERT_TRUE(recording::read_recording(path, &recorded, &error)) << error;
    ASSERT_EQ(recorded.entries.size(), 1u);
    EXPECT_TRUE(recorded.is_log_line(0));
    EXPECT_EQ(recorded.entries[0].size, recording::kLongestRecord);
}

// A file-size limit stands in for a full disk: the write fails with a reason, and the file is
// left with its whole entries only.
TEST(RecordingFile, AWriteRefusedByTheSystemFailsCleanly) {
    const std::string path = temp_path("full.orlexrec");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 1000;
        setrlimit(RLIMIT_FSIZE, &limit);
        recording::Writer writer;
        std::string error;
        if (!writer.create(path, sample_header(), Clock::now(), &error))
            _exit(10);
        for (int count = 0; count < 1000; ++count)
            if (!writer.append(kRecords[1], Clock::now(), &error))
                _exit(error.find("cannot write") != std::string::npos ? 0 : 11);
        _exit(12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    recording::Recording recorded;
    std::string error;
    ASSERT_TRUE(recording::read_recording(path, &recorded, &error)) << error;
    EXPECT_GT(recorded.entries.size(), 5u);
    EXPECT_EQ(recorded.torn_offset, 0u);
    EXPECT_LE(recorded.data.size(), 1000u);
}
