// orlex_web --record DIR: every record each watched server sends, and each line of its log, goes to
// the recording directory
// (RecordingFiles) on a thread of its own, behind a bounded queue, so a slow disk never holds up the
// event loop. When the queue is full the recording of that server stops with one log line; watching
// goes on, and what of it still waits is dropped (the file keeps what was written). Files are
// synced once a second from that thread; at the end what waits is written for at most kDrainTime.
// A server sending far more than a full match does has its recording paused (one log line) until
// its rate falls to half the cap (one more), so that it cannot fill the disk.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "web/rate_window.h"
#include "web/record_pipeline.h"
#include "web/recording_files.h"

namespace web {

class Recorder {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kSyncInterval = recording::Writer::kSyncInterval;
    // What may wait for the disk: some seconds of every server's records at their usual rate.
    static constexpr size_t kQueueBytes = size_t{32} * 1024 * 1024;
    // How long the end waits for the disk to take what is queued.
    static constexpr std::chrono::seconds kDrainTime{5};
    // A full 32-player match on the simulated server sends some 1.2 kB a second: over thirteen
    // times that, a server is not sending a match.
    static constexpr size_t kRateCap = size_t{16} * 1024;

    Recorder(std::string directory, uint64_t max_bytes, size_t queue_bytes = kQueueBytes,
             RecordingFiles::WriteHook before_write = {});
    // Writes what is queued (for at most kDrainTime), then closes and syncs every file.
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // Creates the directory when missing and counts what it holds, then starts the thread; false
    // with the reason.
    bool prepare(std::string *error);
    // Bytes a second over which a server's recording pauses (kRateCap unless set).
    void set_rate_cap(size_t bytes_per_second) { rate_cap_ = bytes_per_second; }

    // One whole record off a server's connection, as it arrived.
    void add(const std::string &server, const std::string &address, const records::Record &record,
             Clock::time_point arrived);
    // One datagram's text of the server's log (secrets scrubbed), as it arrived: into the same file,
    // queue and rate as its records.
    void add_log_line(const std::string &server, const std::string &address, const std::string &text,
                      Clock::time_point arrived);
    // The server is no longer watched: its file is closed (and it may be recorded again later).
    void forget(const std::string &server);
    // Waits until everything queued so far is written (for tests and the end).
    void flush();
    // True once the queue overflowed for that server, until it is forgotten.
    bool stopped(const std::string &server) const { return stopped_.count(server) != 0; }

    // The recording files in the directory, oldest first.
    std::vector<std::string> files() const { return RecordingFiles::list(directory_); }

private:
    struct Job {
        enum Kind { take, forget } kind;
        std::string server;
        std::string address;
        RecordText record;
        Clock::time_point arrived;
    };

    struct Rate {
        RateWindow window;
        bool paused = false;
    };

    void run();
    void enqueue(const std::string &server, const std::string &address, RecordText text, Clock::time_point arrived);
    // False while the server's recording is paused for its rate; logs each change.
    bool within_rate(const std::string &server, size_t bytes, Clock::time_point arrived);
    void push(Job job);
    void drop_queued(const std::string &server);

    std::string directory_;
    RecordingFiles files_;  // the thread's alone once it runs
    size_t queue_limit_;
    std::set<std::string> stopped_;      // the event loop's: servers whose queue overflowed
    std::map<std::string, Rate> rates_;  // the event loop's
    size_t rate_cap_ = kRateCap;

    std::mutex mutex_;
    std::condition_variable wake_, drained_;
    std::deque<Job> queue_;
    size_t queued_bytes_ = 0;
    bool busy_ = false;  // a job taken off the queue is being written
    bool ending_ = false;
    Clock::time_point end_by_;  // once ending: records still queued then are dropped
    std::thread thread_;
};

// The pipeline's recording subscriber for one server.
class RecordingTap final : public RecordSubscriber {
public:
    RecordingTap(Recorder &recorder, std::string server, std::string address)
        : recorder_(recorder), server_(std::move(server)), address_(std::move(address)) {}
    void take(const records::Record &record, Clock::time_point arrived) override {
        recorder_.add(server_, address_, record, arrived);
    }

private:
    Recorder &recorder_;
    std::string server_, address_;
};

}  // namespace web
