#include "web/audit/audit_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/asio/post.hpp>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace web::audit {
namespace {

constexpr off_t kTailBytes = off_t{4} * 1024 * 1024;  // read at start for the kept lines

std::string read_tail(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0)
        return "";
    const off_t start = info.st_size > kTailBytes ? info.st_size - kTailBytes : 0;
    std::string text(static_cast<size_t>(info.st_size - start), '\0');
    const ssize_t got = pread(fd, text.data(), text.size(), start);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    if (start > 0)
        text.erase(0, text.find('\n') + 1);  // the first line read may be cut
    return text;
}

}  // namespace

std::string utc_now_text() {
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    const size_t length = std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof(text) - length, ".%03dZ", static_cast<int>(ms % 1000));
    return text;
}

AuditLog::AuditLog(boost::asio::io_context &io, std::string path) : io_(io), path_(std::move(path)) {}

AuditLog::~AuditLog() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
    if (fd_ >= 0)
        close(fd_);
}

bool AuditLog::open(std::string *error) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0 || fchmod(fd_, 0600) != 0) {
        *error = "--audit: cannot open " + path_ + ": " + std::strerror(errno);
        return false;
    }
    const std::string text = read_tail(fd_);
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        keep(text.substr(start, end - start));
    thread_ = std::thread([this] { run(); });
    return true;
}

bool AuditLog::reserve() {
    if (fd_ < 0 || reserved_ >= kQueueLines)
        return false;
    ++reserved_;
    return true;
}

void AuditLog::append(std::string line, std::function<void(bool)> done) {
    if (line.size() > kLongestLine)
        line.resize(kLongestLine);  // the caller bounds each part; this bounds the whole
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back({std::move(line), std::move(done)});
    }
    wake_.notify_one();
}

std::vector<std::string> AuditLog::page(size_t offset, size_t limit, size_t *total) const {
    *total = kept_.size();
    std::vector<std::string> lines;
    for (size_t at = offset; at < kept_.size() && lines.size() < limit; ++at)
        lines.push_back(kept_[kept_.size() - 1 - at]);
    return lines;
}

void AuditLog::keep(std::string line) {
    if (line.empty())
        return;
    kept_.push_back(std::move(line));
    if (kept_.size() > kKeptLines)
        kept_.pop_front();
}

bool AuditLog::write_line(const std::string &line) {
    const std::string text = line + "\n";
    // One write of a whole line to an O_APPEND file: a crash leaves whole lines, and the last at worst torn.
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t wrote = write(fd_, text.data() + written, text.size() - written);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        written += static_cast<size_t>(wrote);
    }
    return fsync(fd_) == 0;
}

void AuditLog::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        const bool written = write_line(job.line);
        if (!written)
            std::fprintf(stderr, "orlex_web: %s: cannot write the audit line: %s\n", path_.c_str(),
                         std::strerror(errno));
        boost::asio::post(io_, [this, written, line = std::move(job.line), done = std::move(job.done)]() mutable {
            --reserved_;
            if (written)
                keep(std::move(line));
            if (done)
                done(written);
        });
    }
}

}  // namespace web::audit
