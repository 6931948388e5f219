// Recordings of the recording directory opened as replays when a page asks (the history's links
// to a kill's moment). A file already open is reused; one being read is waited for. The file is
// read and folded on a thread of its own, never on the event loop: an hour's recording takes a
// while. At most `most_open` are open or being read: a new one closes the one nobody has watched
// for longest, and is refused while every one is watched. One nobody watches closes after `idle`.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "web/replay_request.h"
#include "web/source.h"

namespace web {

class Replay;
class ReplayTimeline;

class ReplaysOnDemand {
public:
    using Clock = std::chrono::steady_clock;
    // A recording is read whole into memory: one larger than this is refused.
    static constexpr uint64_t kLargestFile = uint64_t{512} * 1024 * 1024;
    // Requests waiting for one file to be read.
    static constexpr size_t kMostWaiting = 32;

    struct Settings {
        std::string directory;
        size_t chat_lines = 50;
        double speed = 1;
        size_t most_open = 8;
        std::chrono::seconds idle{300};
    };
    // What the gateway does for them.
    struct Served {
        std::function<bool(const std::string &name, std::shared_ptr<Source> source)> serve;  // false: name taken
        std::function<void(const std::string &name)> close;
        std::function<const Source *(const std::string &name)> find;
        std::function<size_t(const std::string &name)> watchers;
        std::function<void(const std::string &name)> changed;
    };
    struct Result {
        int status = 200;
        std::string error;  // when not 200
        std::string name;   // the served name
        uint32_t position_ms = 0, length_ms = 0;
        bool playing = false;
    };
    using Done = std::function<void(const Result &result)>;

    ReplaysOnDemand(boost::asio::io_context &io, Settings settings, Served served);
    ~ReplaysOnDemand();
    ReplaysOnDemand(const ReplaysOnDemand &) = delete;
    ReplaysOnDemand &operator=(const ReplaysOnDemand &) = delete;

    // The replay of `file` (a plain name, checked already) at the point and playing; at its end,
    // paused, when the point is past it. `done` is called on the event loop, at once or once read.
    void open(const std::string &file, const ReplayPoint &point, Done done);
    // Whether a served name is one of these.
    bool serves(const std::string &name) const;
    // Closes them all and waits for a file being read.
    void stop();

private:
    struct Opened {
        std::string name;
        std::shared_ptr<Replay> replay;
        Clock::time_point last_watched;
    };
    struct Loading {
        std::string name;
        ReplayPoint point;
        std::vector<Done> waiting;
    };
    struct Loaded;

    static Loaded load(const std::string &path, const std::string &name, size_t chat_lines);
    void loaded(const std::string &file, Loaded result);
    bool reuse(const std::string &file, const ReplayPoint &point, const Done &done);
    bool make_room();
    bool still_served(const Opened &opened) const;
    void close(std::map<std::string, Opened>::iterator opened, const char *why);
    std::string free_name(const std::string &file) const;
    static Result moved(Opened &opened, const ReplayPoint &point);
    void sweep_later();
    void sweep();

    boost::asio::io_context &io_;
    Settings settings_;
    Served served_;
    boost::asio::thread_pool reader_{1};
    boost::asio::steady_timer sweep_timer_;
    std::map<std::string, Opened> open_;      // by file name
    std::map<std::string, Loading> loading_;  // by file name
    bool sweep_due_ = false;
    bool stopped_ = false;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // what a read's answer checks first
    // Set as it is destroyed: reads queued behind the one under way are skipped.
    std::shared_ptr<std::atomic<bool>> stopping_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace web
