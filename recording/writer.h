// Writing a recording: each entry goes to the file in one write as it arrives (a process killed at
// any point leaves whole entries and at most one torn one), and the file is synced to the disk at
// most a second after an entry (what a power cut can take). The join password is never written.
// Records and server log lines share the file, on one time base.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "recording/format.h"

namespace recording {

class Writer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kSyncInterval{1000};

    Writer() = default;
    ~Writer() { close(); }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // Creates the file (never over an existing one) and writes the header; `started` is the moment
    // arrival times count from. False with the reason.
    bool create(const std::string &path, const Header &header, Clock::time_point started, std::string *error);
    // One record as it arrived. On a failure the file is cut back to its last whole entry.
    bool append(std::string_view record, Clock::time_point arrived, std::string *error);
    // One server log line as it arrived, its secrets already taken out by the caller; as append.
    bool append_log_line(std::string_view text, Clock::time_point arrived, std::string *error);
    // Syncs what was written if the last sync is a second old (or `now` is forced).
    bool sync_due(Clock::time_point now, std::string *error, bool force = false);
    void close();

    bool is_open() const { return fd_ >= 0; }
    const std::string &path() const { return path_; }
    uint64_t size() const { return size_; }

private:
    bool append_entry(std::string_view bytes, EntryKind kind, Clock::time_point arrived, std::string *error);
    bool write_all(const std::string &bytes, std::string *error);

    int fd_ = -1;
    std::string path_;
    uint64_t size_ = 0;
    Clock::time_point started_;
    uint32_t last_ms_ = 0;
    bool dirty_ = false;
    Clock::time_point synced_;
};

}  // namespace recording
