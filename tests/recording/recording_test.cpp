// The recording file: written and read back, cut at every byte as a crash would leave it, damaged,
// foreign and newer files, and a write refused by the system.
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

recording::Header sample_header() {
    recording::Header header;
    header.server = "alpha";
    header.address = "127.0.0.1:40015";
    header.map = "de_dust";
    header.writer = "test";
    header.start_ms = 1700000000123;
    return header;
}

// The records written at 0, 250, 500 ... ms; the file's bytes.
std::string write_sample(const std::string &path) {
    recording::Writer writer;
    std::string error;
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(writer.create(path, sample_header(), start, &error)) << error;
    for (size_t index = 0; index < kRecords.size(); ++index)
        EXPECT_TRUE(writer.append(kRecords[index], start + std::chrono::milliseconds(250 * index), &error)) << error;
    writer.close();
    return slurp(path);
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
    ASSERT_EQ(recorded.entries.size(), kRecords.size());
    for (size_t index = 0; index < kRecords.size(); ++index) {
        EXPECT_EQ(recorded.record(index), kRecords[index]);
        EXPECT_EQ(recorded.entries[index].arrival_ms, 250 * index);
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
            EXPECT_EQ(recorded.record(index), kRecords[index]);
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
    EXPECT_EQ(zero_tail.entries.size(), kRecords.size());
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

    EXPECT_EQ(error_of("TYPE\tSERVER\nMAP_NAME\tde_dust\n\n"),
              "x.orlexrec: byte 0: not a recording (it does not start with ORLEXREC)");
    EXPECT_EQ(error_of(""), "x.orlexrec: byte 0: not a recording (it does not start with ORLEXREC)");

    std::string newer = bytes;
    newer[8] = 2;
    EXPECT_EQ(error_of(newer),
              "x.orlexrec: byte 8: format version 2; this program reads version 1 (the file is newer)");

    EXPECT_EQ(error_of(bytes.substr(0, 20)), "x.orlexrec: byte 20: the file ends inside its header");
    std::string header_damaged = bytes;
    header_damaged[14] ^= 1;
    EXPECT_NE(error_of(header_damaged).find("the header is damaged"), std::string::npos);

    EXPECT_NE(recording::read_recording(temp_path("missing"), &recorded, &error) ? "" : error, "");
    EXPECT_NE(error.find("cannot open"), std::string::npos);
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
