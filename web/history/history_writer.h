// The history's one thread: facts queued by the event loop (bounded in count and bytes) written in
// one transaction about once a second, queries run between batches, and the retention job in
// small batches once at start and once a day. Nothing here blocks the caller.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "web/history/history_store.h"

namespace web::history {

class HistoryWriter {
public:
    static constexpr size_t kMostFacts = 50000;
    static constexpr size_t kMostBytes = size_t{16} * 1024 * 1024;
    static constexpr size_t kMostQueries = 64;
    static constexpr std::chrono::milliseconds kBatchInterval{1000};
    static constexpr size_t kTrimBatch = 1000;
    static constexpr std::chrono::hours kTrimInterval{24};

    // `retention_days`: kills, chat and sessions older than that are deleted (0: kept for ever).
    HistoryWriter(std::unique_ptr<HistoryStore> store, int retention_days, size_t most_facts = kMostFacts,
                  size_t most_bytes = kMostBytes);
    // Writes what is queued, then ends the thread.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter &) = delete;
    HistoryWriter &operator=(const HistoryWriter &) = delete;

    // False when the fact was dropped: the queue is full, and the server's history is dropped
    // until it has room again (said once on stderr).
    bool add(Fact fact);
    // Runs the job on the history thread, with the store; false when too many wait already.
    bool ask(std::function<void(HistoryStore &)> job);
    // Everything queued until now written (tests, the end).
    void flush();
    size_t dropped() const;

private:
    void run();
    void write(std::vector<Fact> facts);
    bool trim_once();

    std::unique_ptr<HistoryStore> store_;
    const int retention_days_;
    const size_t most_facts_, most_bytes_;
    mutable std::mutex mutex_;
    std::condition_variable wake_, flushed_;
    std::vector<Fact> facts_;
    size_t bytes_ = 0;
    std::deque<std::function<void(HistoryStore &)>> jobs_;
    std::set<std::string> dropping_;  // servers whose history waits for room
    size_t dropped_ = 0;
    bool stopping_ = false, flush_asked_ = false;
    uint64_t batches_written_ = 0;
    std::thread thread_;
};

}  // namespace web::history
