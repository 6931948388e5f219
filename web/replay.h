// A recording served as if it were a live server: its records folded at their recorded pace times
// the speed, with play, pause, speed and seek, on the shared event loop.
#pragma once

#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <memory>

#include "web/replay_timeline.h"
#include "web/source.h"

namespace web {

class Replay : public Source, public SourceControls, public std::enable_shared_from_this<Replay> {
public:
    using Clock = std::chrono::steady_clock;

    Replay(boost::asio::io_context &io, const ServerAddress &address, size_t chat_lines, recording::Recording recorded,
           double speed, Listener listener);
    // A recording folded already (off the event loop: a long one takes a while), its state named
    // as `timeline` was built with.
    Replay(boost::asio::io_context &io, ReplayTimeline timeline, double speed, Listener listener);
    // Plays from the start.
    void start() override;
    void stop() override;
    const ServerFold &fold() const override { return state_; }
    const ReplayPosition *replay() const override { return &position_; }
    SourceControls *controls() override { return this; }

    void play(bool playing) override;
    void set_speed(double speed) override;
    void seek(uint32_t ms) override;

private:
    uint32_t position(Clock::time_point now) const;
    void anchor(Clock::time_point now);
    void advance();
    void schedule();
    void publish();

    boost::asio::steady_timer timer_;
    ReplayTimeline timeline_;
    ServerFold state_;
    ReplayPosition position_;
    Listener listener_;
    size_t folded_ = 0;  // records folded into state_
    bool playing_ = false;
    double speed_ = 1;
    uint32_t anchor_ms_ = 0;  // the recording's time at anchor_time_
    Clock::time_point anchor_time_;
};

}  // namespace web
