#include "web/history/history_writer.h"

#include <cstdio>

#include "web/wall_clock.h"

namespace web::history {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

HistoryWriter::HistoryWriter(std::unique_ptr<HistoryStore> store, int retention_days, size_t most_facts,
                             size_t most_bytes)
    : store_(std::move(store)),
      retention_days_(retention_days),
      most_facts_(most_facts),
      most_bytes_(most_bytes),
      thread_([this] { run(); }) {}

HistoryWriter::~HistoryWriter() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool HistoryWriter::add(Fact fact) {
    const size_t size = fact.bytes();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const bool full = facts_.size() >= most_facts_ || bytes_ + size > most_bytes_;
        // A server drops until the queue is half empty again: its history resumes at a clean gap.
        const bool roomy = facts_.size() < most_facts_ / 2 && bytes_ < most_bytes_ / 2;
        if (dropping_.count(fact.server) && roomy)
            dropping_.erase(fact.server);
        if (full || dropping_.count(fact.server)) {
            ++dropped_;
            if (dropping_.insert(fact.server).second)
                std::fprintf(stderr,
                             "orlex_web: history: the write queue is full: %s's history is dropped until "
                             "it has room again (watching goes on)\n",
                             fact.server.c_str());
            return false;
        }
        bytes_ += size;
        facts_.push_back(std::move(fact));
    }
    return true;
}

bool HistoryWriter::ask(std::function<void(HistoryStore &)> job) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (jobs_.size() >= kMostQueries)
            return false;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
    return true;
}

void HistoryWriter::flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    flush_asked_ = true;
    const uint64_t after = batches_written_;
    wake_.notify_all();
    flushed_.wait(lock, [&] { return batches_written_ > after; });
}

size_t HistoryWriter::dropped() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

void HistoryWriter::write(std::vector<Fact> facts) {
    std::string error;
    if (!facts.empty() && !store_->write(facts, &error))
        std::fprintf(stderr, "orlex_web: history: %zu facts not written: %s\n", facts.size(), error.c_str());
}

bool HistoryWriter::trim_once() {
    const int64_t cutoff = unix_ms_now() - int64_t{retention_days_} * kDayMs;
    return store_->trim(cutoff, kTrimBatch) > 0;
}

// Queries first (someone waits for them), then the batch when it is due, then one retention batch
// when nothing else waits.
void HistoryWriter::run() {
    Clock::time_point next_batch = Clock::now() + kBatchInterval;
    Clock::time_point next_trim = Clock::now();
    bool trimming = retention_days_ > 0;
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_until(lock, trimming ? Clock::now() : next_batch,
                         [&] { return stopping_ || flush_asked_ || !jobs_.empty(); });
        std::deque<std::function<void(HistoryStore &)>> jobs;
        jobs.swap(jobs_);
        const bool batch_due = stopping_ || flush_asked_ || Clock::now() >= next_batch;
        std::vector<Fact> facts;
        if (batch_due) {
            facts.swap(facts_);
            bytes_ = 0;
        }
        const bool stopping = stopping_, flushing = flush_asked_;
        lock.unlock();
        for (auto &job : jobs)
            job(*store_);
        if (batch_due) {
            write(std::move(facts));
            next_batch = Clock::now() + kBatchInterval;
            lock.lock();
            ++batches_written_;
            if (flushing)
                flush_asked_ = false;
            lock.unlock();
            flushed_.notify_all();
        }
        if (stopping)
            return;
        const Clock::time_point now = Clock::now();
        if (!trimming && retention_days_ > 0 && now >= next_trim)
            trimming = true;
        if (trimming && jobs.empty() && !trim_once()) {
            trimming = false;
            next_trim = now + kTrimInterval;
        }
    }
}

}  // namespace web::history
