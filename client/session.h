// One connection's life: commands out, records in, the view shown; ends in an exit code.
#pragma once

#include <csignal>
#include <cstdio>
#include <set>
#include <string>

#include "client/connection.h"
#include "client/display.h"
#include "client/options.h"
#include "client/pacer.h"
#include "client/redraw.h"
#include "recording/writer.h"
#include "stream/view_state.h"

namespace client {

class Session {
public:
    // Progress and failures are written to `messages`.
    Session(const Options &options, Display &display, std::FILE *messages);
    // Runs until the server closes, `stop` is set (by a signal), or --once has its snapshot:
    // 0 when the run did what was asked, 1 otherwise.
    int run(const volatile std::sig_atomic_t &stop);

private:
    bool send_due(Clock::time_point now);
    void take(const std::string &bytes, Clock::time_point now);
    bool snapshot_ready(Clock::time_point now) const;
    int closed();
    void show();
    int wait_milliseconds(Clock::time_point now) const;
    int fail(const std::string &message);
    std::string missing() const;
    bool start_recording();
    void record(const records::Record &record, Clock::time_point now);
    void stop_recording(const std::string &error);

    const Options &options_;
    Display &display_;
    std::FILE *messages_;
    Connection connection_;
    view::Feed feed_;
    Pacer pacer_;
    std::set<std::string> seen_;
    Clock::time_point deadline_;
    Clock::time_point answers_due_;  // by then the server has had a query tick to answer the last command
    RedrawSchedule redraw_;
    recording::Writer recorder_;  // open while recording
    bool told_over_limits_ = false;
};

}  // namespace client
