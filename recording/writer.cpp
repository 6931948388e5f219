#include "recording/writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "recording/redact.h"

namespace recording {
namespace {

int64_t whole_ms(Writer::Clock::time_point moment) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()).count();
}

}  // namespace

bool Writer::create(const std::string &path, const Header &header, Clock::time_point started, std::string *error) {
    close();
    // Players' addresses and chat: for the owner alone.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        *error = path + ": cannot create: " + std::strerror(errno);
        return false;
    }
    path_ = path;
    size_ = 0;
    started_ = started;
    last_ms_ = 0;
    synced_ = started;
    if (!write_all(encode_header(header), error) || !sync_due(started, error, true)) {
        close();
        return false;
    }
    return true;
}

bool Writer::append(std::string_view record, Clock::time_point arrived, std::string *error) {
    return append_entry(without_join_password(record), EntryKind::record, arrived, error);
}

bool Writer::append_log_line(std::string_view text, Clock::time_point arrived, std::string *error) {
    return append_entry(text, EntryKind::log_line, arrived, error);
}

bool Writer::append_entry(std::string_view bytes, EntryKind kind, Clock::time_point arrived, std::string *error) {
    if (fd_ < 0) {
        *error = "no recording file open";
        return false;
    }
    if (bytes.empty() || bytes.size() > kLongestRecord) {
        *error = path_ + ": " + (kind == EntryKind::record ? "a record" : "a log line") + " of " +
                 std::to_string(bytes.size()) + " bytes cannot be recorded";
        return false;
    }
    // Whole milliseconds of each moment, subtracted: the file's start plus this gives the arrival's
    // own millisecond back, where truncating the difference could land one short of it.
    const auto elapsed = whole_ms(arrived) - whole_ms(started_);
    // Times never go back, and stop at the field's limit (49 days into one file).
    const uint32_t ms = elapsed < last_ms_     ? last_ms_
                        : elapsed > UINT32_MAX ? UINT32_MAX
                                               : static_cast<uint32_t>(elapsed);
    if (!write_all(encode_entry(ms, bytes, kind), error))
        return false;
    last_ms_ = ms;
    dirty_ = true;
    return sync_due(arrived, error);
}

bool Writer::sync_due(Clock::time_point now, std::string *error, bool force) {
    if (fd_ < 0 || !(force || (dirty_ && now - synced_ >= kSyncInterval)))
        return true;
    synced_ = now;
    dirty_ = false;
    if (::fdatasync(fd_) != 0) {
        *error = path_ + ": cannot sync: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Writer::write_all(const std::string &bytes, std::string *error) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            *error = path_ + ": cannot write: " + std::strerror(wrote < 0 ? errno : ENOSPC);
            // A half-written entry would read back as a torn one; better not to leave it at all (if
            // even this fails, the reader still ignores it).
            const bool cut_back = done == 0 || ::ftruncate(fd_, static_cast<off_t>(size_)) == 0;
            static_cast<void>(cut_back);
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    size_ += bytes.size();
    return true;
}

void Writer::close() {
    if (fd_ < 0)
        return;
    if (dirty_)
        ::fdatasync(fd_);
    ::close(fd_);
    fd_ = -1;
    dirty_ = false;
}

}  // namespace recording
