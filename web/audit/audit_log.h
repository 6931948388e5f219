// --audit FILE: one JSON line for every action attempted, appended and synced to the disk on a
// thread of its own (the event loop never waits for the disk); whoever appended is called back on
// the event loop once the line is on the disk, so that an answer given means a line kept. The file
// is the user's only (0600). The latest lines are kept in memory for the page and the API.
#pragma once

#include <boost/asio/io_context.hpp>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace web::audit {

class AuditLog {
public:
    // Lines waiting for the disk at most; an action finding no room is refused before it is done.
    static constexpr size_t kQueueLines = 256;
    static constexpr size_t kKeptLines = 1000;
    static constexpr size_t kLongestLine = size_t{16} * 1024;

    AuditLog(boost::asio::io_context &io, std::string path);
    // Writes what is queued, then ends the thread.
    ~AuditLog();
    AuditLog(const AuditLog &) = delete;
    AuditLog &operator=(const AuditLog &) = delete;

    // Opens (creating it 0600, or making it so) and reads the latest lines, then starts the
    // thread; false with the reason.
    bool open(std::string *error);
    const std::string &path() const { return path_; }

    // A place for one line, taken before the action is done; false when the disk is that far behind
    // (or the file was never opened).
    bool reserve();
    // The line (JSON, no line end) for a place reserved; `done(written)` runs on the event loop once
    // it is synced, or could not be written.
    void append(std::string line, std::function<void(bool written)> done);

    // Kept lines, newest first, from `offset`; `total` is how many are kept.
    std::vector<std::string> page(size_t offset, size_t limit, size_t *total) const;

private:
    struct Job {
        std::string line;
        std::function<void(bool)> done;
    };
    void run();
    bool write_line(const std::string &line);
    void keep(std::string line);

    boost::asio::io_context &io_;
    std::string path_;
    int fd_ = -1;
    size_t reserved_ = 0;           // places taken and not yet called back (event loop only)
    std::deque<std::string> kept_;  // newest last (event loop only)

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool ending_ = false;
    std::thread thread_;
};

// UTC with milliseconds: "2026-12-10T14:12:41.123Z".
std::string utc_now_text();

}  // namespace web::audit
