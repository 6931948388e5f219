#include "web/replays_on_demand.h"

#include <sys/stat.h>

#include <boost/asio/post.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "web/replay.h"
#include "web/replay_names.h"
#include "web/replay_timeline.h"

namespace web {
namespace {

ReplaysOnDemand::Result refused(int status, std::string why) {
    ReplaysOnDemand::Result result;
    result.status = status;
    result.error = std::move(why);
    return result;
}

}  // namespace

struct ReplaysOnDemand::Loaded {
    int status = 200;
    std::string error;
    std::unique_ptr<ReplayTimeline> timeline;
};

ReplaysOnDemand::ReplaysOnDemand(boost::asio::io_context &io, Settings settings, Served served)
    : io_(io), settings_(std::move(settings)), served_(std::move(served)), sweep_timer_(io) {}

ReplaysOnDemand::~ReplaysOnDemand() {
    stopping_->store(true);
    reader_.join();
}

void ReplaysOnDemand::stop() {
    stopped_ = true;
    sweep_timer_.cancel();
    open_.clear();  // the gateway stops every source it serves
    loading_.clear();
}

bool ReplaysOnDemand::serves(const std::string &name) const {
    return std::any_of(open_.begin(), open_.end(), [&](const auto &entry) { return entry.second.name == name; });
}

void ReplaysOnDemand::open(const std::string &file, const ReplayPoint &point, Done done) {
    if (stopped_)
        return done(refused(503, "the gateway is stopping"));
    if (reuse(file, point, done))
        return;
    if (!make_room())
        return done(refused(503, "as many replays as may be open are open, and watched: try again later"));
    const std::string name = free_name(file);
    loading_[file] = Loading{name, point, {std::move(done)}};
    boost::asio::post(reader_, [path = settings_.directory + "/" + file, name, file, chat_lines = settings_.chat_lines,
                                stopping = stopping_, alive = std::weak_ptr<int>(alive_), this, &io = io_] {
        if (stopping->load())
            return;
        Loaded result = load(path, name, chat_lines);
        boost::asio::post(io, [alive, this, file, result = std::move(result)]() mutable {
            if (!alive.expired())
                loaded(file, std::move(result));
        });
    });
}

// Off the event loop: nothing here touches the object's state.
ReplaysOnDemand::Loaded ReplaysOnDemand::load(const std::string &path, const std::string &name, size_t chat_lines) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return {404, "no such recording in the recording directory", nullptr};
    if (static_cast<uint64_t>(status.st_size) > kLargestFile)
        return {413, "the recording is too large to replay here (at most 512 MB)", nullptr};
    try {
        recording::Recording recorded;
        std::string error;
        if (!recording::read_recording(path, &recorded, &error)) {
            std::fprintf(stderr, "orlex_web: a replay asked for: %s\n", error.c_str());
            return {422, "not a recording this gateway can read", nullptr};
        }
        if (!recorded.torn_note().empty())
            std::fprintf(stderr, "orlex_web: %s\n", recorded.torn_note().c_str());
        const ServerFold start = replay_start_state(recorded_address(name, recorded.header.address), chat_lines);
        return {200, "", std::make_unique<ReplayTimeline>(std::move(recorded), start)};
    } catch (const std::exception &error) {  // memory for a large file, at worst
        std::fprintf(stderr, "orlex_web: a replay asked for: %s: %s\n", path.c_str(), error.what());
        return {500, "the recording could not be read", nullptr};
    }
}

void ReplaysOnDemand::loaded(const std::string &file, Loaded result) {
    const auto found = loading_.find(file);
    if (stopped_ || found == loading_.end())
        return;
    const Loading loading = std::move(found->second);
    loading_.erase(found);
    const auto answer_all = [&loading](const Result &answer) {
        for (const Done &done : loading.waiting)
            done(answer);
    };
    if (result.status != 200)
        return answer_all(refused(result.status, result.error));
    const std::string &name = loading.name;
    auto replay = std::make_shared<Replay>(io_, std::move(*result.timeline), settings_.speed,
                                           [changed = served_.changed, name] { changed(name); });
    if (!served_.serve(name, replay))
        return answer_all(refused(503, "a server took the replay's name meanwhile: try again"));
    std::fprintf(stderr, "orlex_web: replaying %s as %s (asked for)\n", file.c_str(), name.c_str());
    Opened &opened = open_[file] = Opened{name, replay, Clock::now()};
    answer_all(moved(opened, loading.point));
    sweep_later();
}

// One open already is moved to the point (its watchers see it move too); one being read gets the
// latest point asked.
bool ReplaysOnDemand::reuse(const std::string &file, const ReplayPoint &point, const Done &done) {
    if (const auto open = open_.find(file); open != open_.end()) {
        if (!still_served(open->second)) {
            open_.erase(open);
            return false;
        }
        open->second.last_watched = Clock::now();
        done(moved(open->second, point));
        return true;
    }
    const auto loading = loading_.find(file);
    if (loading == loading_.end())
        return false;
    if (loading->second.waiting.size() >= kMostWaiting) {
        done(refused(503, "too many requests wait for this recording: try again"));
        return true;
    }
    loading->second.point = point;
    loading->second.waiting.push_back(done);
    return true;
}

bool ReplaysOnDemand::still_served(const Opened &opened) const {
    return served_.find(opened.name) == static_cast<const Source *>(opened.replay.get());
}

// Room for one more: the one unwatched for longest goes when every place is taken.
bool ReplaysOnDemand::make_room() {
    for (auto at = open_.begin(); at != open_.end();)
        at = still_served(at->second) ? std::next(at) : open_.erase(at);
    if (open_.size() + loading_.size() < settings_.most_open)
        return true;
    auto oldest = open_.end();
    for (auto at = open_.begin(); at != open_.end(); ++at)
        if (served_.watchers(at->second.name) == 0 &&
            (oldest == open_.end() || at->second.last_watched < oldest->second.last_watched))
            oldest = at;
    if (oldest == open_.end())
        return false;
    close(oldest, "to make room for another");
    return true;
}

void ReplaysOnDemand::close(std::map<std::string, Opened>::iterator opened, const char *why) {
    const std::string name = opened->second.name;
    std::fprintf(stderr, "orlex_web: replay %s closed: %s\n", name.c_str(), why);
    open_.erase(opened);
    served_.close(name);
}

std::string ReplaysOnDemand::free_name(const std::string &file) const {
    const std::string base = served_name(file);
    const auto in_use = [this](const std::string &name) {
        return served_.find(name) || serves(name) ||
               std::any_of(loading_.begin(), loading_.end(),
                           [&name](const auto &entry) { return entry.second.name == name; });
    };
    std::string name = base;
    for (int copy = 2; name.empty() || in_use(name); ++copy)
        name = base.substr(0, 58) + "-" + std::to_string(copy);
    return name;
}

ReplaysOnDemand::Result ReplaysOnDemand::moved(Opened &opened, const ReplayPoint &point) {
    Replay &replay = *opened.replay;
    uint32_t seek_ms = point.seek_ms;
    if (point.at_unix_ms > 0) {
        const int64_t into = point.at_unix_ms - replay.replay()->start_ms;
        seek_ms = static_cast<uint32_t>(std::clamp<int64_t>(into, 0, UINT32_MAX));
    }
    replay.seek(seek_ms);
    const ReplayPosition &at = *replay.replay();
    replay.play(at.position_ms < at.length_ms);  // at the end, play would start it over
    Result result;
    result.name = opened.name;
    result.position_ms = at.position_ms;
    result.length_ms = at.length_ms;
    result.playing = at.playing;
    return result;
}

void ReplaysOnDemand::sweep_later() {
    if (sweep_due_ || stopped_)
        return;
    sweep_due_ = true;
    sweep_timer_.expires_after(
        std::clamp<Clock::duration>(settings_.idle / 4, std::chrono::seconds(1), std::chrono::seconds(30)));
    sweep_timer_.async_wait([this, alive = std::weak_ptr<int>(alive_)](boost::system::error_code error) {
        if (error || alive.expired())
            return;
        sweep_due_ = false;
        sweep();
    });
}

void ReplaysOnDemand::sweep() {
    const Clock::time_point now = Clock::now();
    for (auto at = open_.begin(); at != open_.end();) {
        const auto next = std::next(at);
        if (!still_served(at->second))
            open_.erase(at);
        else if (served_.watchers(at->second.name) > 0)
            at->second.last_watched = now;
        else if (now - at->second.last_watched >= settings_.idle)
            close(at, "nobody watched it for a while");
        at = next;
    }
    if (!open_.empty())
        sweep_later();
}

}  // namespace web
