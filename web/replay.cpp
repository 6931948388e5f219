#include "web/replay.h"

#include <algorithm>

namespace web {

Replay::Replay(boost::asio::io_context &io, const ServerAddress &address, size_t chat_lines,
               recording::Recording recorded, double speed, Listener listener)
    : Replay(io, ReplayTimeline(std::move(recorded), replay_start_state(address, chat_lines)), speed,
             std::move(listener)) {}

Replay::Replay(boost::asio::io_context &io, ReplayTimeline timeline, double speed, Listener listener)
    : timer_(io),
      timeline_(std::move(timeline)),
      state_(timeline_.state_after(0)),
      listener_(std::move(listener)),
      speed_(std::clamp(speed, kSlowest, kFastest)) {}

void Replay::start() {
    playing_ = true;
    seek(0);
}

void Replay::stop() {
    listener_ = nullptr;
    playing_ = false;
    timer_.cancel();
}

uint32_t Replay::position(Clock::time_point now) const {
    if (!playing_)
        return anchor_ms_;
    const double elapsed = std::chrono::duration<double, std::milli>(now - anchor_time_).count() * speed_;
    return static_cast<uint32_t>(std::min<double>(timeline_.length_ms(), anchor_ms_ + std::max(0.0, elapsed)));
}

void Replay::anchor(Clock::time_point now) {
    anchor_ms_ = position(now);
    anchor_time_ = now;
}

void Replay::play(bool playing) {
    const Clock::time_point now = Clock::now();
    anchor(now);
    playing_ = playing && !(anchor_ms_ >= timeline_.length_ms() && folded_ == timeline_.size());
    if (playing && !playing_)  // at the end: play again from the start
        return start();
    schedule();
    publish();
}

void Replay::set_speed(double speed) {
    anchor(Clock::now());
    speed_ = std::clamp(speed, kSlowest, kFastest);
    schedule();
    publish();
}

void Replay::seek(uint32_t ms) {
    ms = std::min(ms, timeline_.length_ms());
    folded_ = timeline_.records_until(ms);
    state_ = timeline_.state_after(folded_);
    anchor_ms_ = ms;
    anchor_time_ = Clock::now();
    schedule();
    publish();
}

// Folds every record whose time has come, then waits for the next one.
void Replay::advance() {
    const uint32_t now_ms = position(Clock::now());
    size_t before = folded_;
    while (folded_ < timeline_.size() && timeline_.arrival_ms(folded_) <= now_ms)
        timeline_.fold(state_, folded_++);
    if (folded_ == timeline_.size() && playing_) {  // the end: stays there, paused
        anchor(Clock::now());
        playing_ = false;
        anchor_ms_ = timeline_.length_ms();
    }
    schedule();
    if (folded_ != before || !playing_)
        publish();
}

void Replay::schedule() {
    timer_.cancel();
    if (!playing_ || folded_ >= timeline_.size())
        return;
    const double wait_ms = (static_cast<double>(timeline_.arrival_ms(folded_)) - anchor_ms_) / speed_;
    timer_.expires_at(anchor_time_ + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double, std::milli>(std::max(0.0, wait_ms))));
    timer_.async_wait([self = shared_from_this()](boost::system::error_code error) {
        if (!error && self->listener_)
            self->advance();
    });
}

void Replay::publish() {
    ReplayPosition &replay = position_;
    replay.position_ms = position(Clock::now());
    replay.length_ms = timeline_.length_ms();
    replay.playing = playing_;
    replay.speed = speed_;
    replay.start_ms = timeline_.recording().header.start_ms;
    if (listener_)
        listener_();
}

}  // namespace web
