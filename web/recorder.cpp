#include "web/recorder.h"

#include <algorithm>
#include <cstdio>

namespace web {

Recorder::Recorder(std::string directory, uint64_t max_bytes, size_t queue_bytes,
                   RecordingFiles::WriteHook before_write)
    : directory_(directory),
      files_(std::move(directory), max_bytes, std::move(before_write)),
      queue_limit_(queue_bytes) {}

Recorder::~Recorder() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
        end_by_ = Clock::now() + kDrainTime;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool Recorder::prepare(std::string *error) {
    if (!files_.prepare(error))
        return false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void Recorder::add(const std::string &server, const std::string &address, const records::Record &record,
                   Clock::time_point arrived) {
    enqueue(server, address, RecordText::of(record), arrived);
}

void Recorder::add_log_line(const std::string &server, const std::string &address, const std::string &text,
                            Clock::time_point arrived) {
    if (!text.empty() && text.size() <= recording::kLongestRecord)
        enqueue(server, address, RecordText::of_log_line(text), arrived);
}

void Recorder::enqueue(const std::string &server, const std::string &address, RecordText text,
                       Clock::time_point arrived) {
    const size_t size = text.text.size();
    if (stopped_.count(server) || !within_rate(server, size, arrived))
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queued_bytes_ + size <= queue_limit_) {
            queued_bytes_ += size;
            queue_.push_back({Job::take, server, address, std::move(text), arrived});
            wake_.notify_one();
            return;
        }
    }
    stopped_.insert(server);
    drop_queued(server);
    std::fprintf(stderr,
                 "orlex_web: recording %s: the disk is too slow (%zu MB waiting); recording stops for this server, "
                 "watching goes on\n",
                 server.c_str(), queue_limit_ / (size_t{1024} * 1024));
    push({Job::forget, server, "", {}, arrived});  // closes its file
}

bool Recorder::within_rate(const std::string &server, size_t bytes, Clock::time_point arrived) {
    Rate &rate = rates_[server];
    rate.window.add(bytes, arrived);
    const double now = rate.window.rate(arrived);
    const bool was_paused = rate.paused;
    if (!rate.paused && now > static_cast<double>(rate_cap_))
        rate.paused = true;
    else if (rate.paused && now < static_cast<double>(rate_cap_) / 2)
        rate.paused = false;
    if (rate.paused && !was_paused)
        std::fprintf(stderr,
                     "orlex_web: recording %s paused: it sends %.0f kB/s, over the %zu kB/s a match comes near; "
                     "watching goes on\n",
                     server.c_str(), now / 1024, rate_cap_ / 1024);
    if (!rate.paused && was_paused)
        std::fprintf(stderr, "orlex_web: recording %s resumes: it sends %.0f kB/s\n", server.c_str(), now / 1024);
    return !rate.paused;
}

void Recorder::forget(const std::string &server) {
    stopped_.erase(server);
    rates_.erase(server);
    push({Job::forget, server, "", {}, Clock::now()});
}

// Its records still waiting would only keep the disk busy for a recording that has stopped.
void Recorder::drop_queued(const std::string &server) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto dropped = std::remove_if(queue_.begin(), queue_.end(),
                                        [&](const Job &job) { return job.kind == Job::take && job.server == server; });
    for (auto job = dropped; job != queue_.end(); ++job)
        queued_bytes_ -= job->record.text.size();
    queue_.erase(dropped, queue_.end());
}

// Past the bound: a forget is a few bytes, at most one per server and change of the set.
void Recorder::push(Job job) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(job));
    wake_.notify_one();
}

void Recorder::flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    drained_.wait(lock, [this] { return (queue_.empty() && !busy_) || !thread_.joinable(); });
}

void Recorder::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    Clock::time_point next_sync = Clock::now() + kSyncInterval;
    for (;;) {
        if (queue_.empty())
            drained_.notify_all();
        wake_.wait_until(lock, next_sync, [this] { return ending_ || !queue_.empty(); });
        if (Clock::now() >= next_sync) {
            busy_ = true;
            lock.unlock();
            files_.sync_all(Clock::now());
            lock.lock();
            busy_ = false;
            next_sync = Clock::now() + kSyncInterval;
        }
        if (queue_.empty()) {
            if (ending_)
                break;
            continue;
        }
        if (ending_ && Clock::now() >= end_by_) {
            std::fprintf(stderr, "orlex_web: recording: %zu records not written at the end: the disk is too slow\n",
                         queue_.size());
            queue_.clear();
            queued_bytes_ = 0;
            break;
        }
        Job job = std::move(queue_.front());
        queue_.pop_front();
        queued_bytes_ -= job.record.text.size();
        busy_ = true;
        lock.unlock();
        if (job.kind == Job::take)
            files_.add(job.server, job.address, std::move(job.record), job.arrived);
        else
            files_.forget(job.server);
        lock.lock();
        busy_ = false;
    }
    lock.unlock();
    files_.sync_all(Clock::now() + kSyncInterval);  // what is left reaches the disk before the end
}

}  // namespace web
