#include "client/replay.h"

#include <chrono>
#include <thread>

#include "client/redraw.h"
#include "client/render.h"
#include "recording/reader.h"
#include "recording/redact.h"
#include "stream/view_state.h"

namespace client {
namespace {

// Short enough that a signal is seen promptly.
const Clock::duration kLongestSleep = std::chrono::milliseconds(200);

// Sleeps until then or until stopped; false when stopped.
bool wait_until(Clock::time_point when, const volatile std::sig_atomic_t &stop) {
    for (Clock::time_point now = Clock::now(); now < when && !stop; now = Clock::now())
        std::this_thread::sleep_for(std::min<Clock::duration>(when - now, kLongestSleep));
    return !stop;
}

}  // namespace

int replay(const Options &options, Display &display, std::FILE *messages, const volatile std::sig_atomic_t &stop) {
    recording::Recording recorded;
    std::string error;
    if (!recording::read_recording(options.replay_path, &recorded, &error)) {
        std::fprintf(messages, "orlex_client: %s\n", error.c_str());
        return 1;
    }
    if (!recorded.torn_note().empty())
        std::fprintf(messages, "orlex_client: %s\n", recorded.torn_note().c_str());
    const size_t width = display.width(options.width);
    view::Feed feed(options.chat_lines);
    RedrawSchedule redraw;
    const Clock::time_point started = Clock::now();
    for (size_t index = 0; index < recorded.entries.size() && !stop; ++index) {
        if (recorded.is_log_line(index))
            continue;  // the gateway's: the client shows the plug-in's records alone
        const std::string record(recorded.record(index));
        if (options.raw) {
            display.raw(recording::without_join_password(record));  // older files may hold it
            continue;
        }
        if (!options.once) {
            const auto due = started + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                           recorded.entries[index].arrival_ms / 1000.0 / options.speed));
            if (redraw.pending() && redraw.due_time() < due && wait_until(redraw.due_time(), stop)) {
                display.show(view::render(feed.state(), width));
                redraw.shown();
            }
            if (!wait_until(due, stop))
                break;
        }
        if (!feed.add(record).empty())
            redraw.changed(Clock::now());
    }
    if (options.once)
        display.raw(view::render(feed.state(), width));
    else if (!options.raw)
        display.show(view::render(feed.state(), width));
    return 0;
}

}  // namespace client
