#include "client/session.h"

#include <algorithm>
#include <cmath>

#include "client/render.h"

namespace client {
namespace {

Clock::duration seconds(double count) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(count));
}

// Short enough that a signal landing just before a wait is still seen promptly.
const int kLongestWait = 200;

}  // namespace

Session::Session(const Options &options, Display &display, std::FILE *messages)
    : options_(options),
      display_(display),
      messages_(messages),
      feed_(options.chat_lines),
      pacer_(seconds(options.spacing)) {
    for (const std::string &line : options.sends)
        pacer_.add({line, ""});
    if (options.once) {
        pacer_.add({"GET_SERVER", "SERVER"});
        pacer_.add({"GET_PLAYER", "PLAYER"});
    }
}

int Session::run(const volatile std::sig_atomic_t &stop) {
    deadline_ = Clock::now() + seconds(options_.timeout);
    std::string error;
    if (!connection_.open(options_.host, options_.port, static_cast<int>(std::ceil(options_.timeout * 1000)), &error))
        return stop ? fail("interrupted") : fail(error);
    std::fprintf(messages_, "orlex_client: connected to %s:%d\n", options_.host.c_str(), options_.port);
    if (!options_.record_path.empty() && !start_recording())
        return 1;
    while (!stop) {
        const Clock::time_point now = Clock::now();
        if (recorder_.is_open() && !recorder_.sync_due(now, &error))
            stop_recording(error);
        if (!send_due(now))
            return fail("cannot send to the server");
        if (options_.once && snapshot_ready(now)) {
            show();
            return 0;
        }
        if (options_.once && now >= deadline_)
            return fail(missing());
        if (redraw_.due(now))
            show();
        std::string bytes;
        const Connection::Received received = connection_.receive(&bytes, wait_milliseconds(now));
        take(bytes, Clock::now());
        if (feed_.overflowed())
            return fail("the server sent " + records::RecordStream::overflow_reason() + "; disconnected");
        if (received == Connection::Received::closed)
            return closed();
    }
    if (redraw_.pending())
        show();
    return options_.once ? fail("interrupted") : 0;
}

int Session::closed() {
    if (redraw_.pending())
        show();
    std::fprintf(messages_, "orlex_client: the server closed the connection\n");
    if (!options_.once)
        return 0;
    if (!seen_.count("SERVER") || !seen_.count("PLAYER"))
        return fail(missing());
    show();  // no further answer can come
    return 0;
}

void Session::show() {
    const std::string view = view::render(feed_.state(), display_.width(options_.width));
    if (options_.once)
        display_.raw(view);  // a single snapshot stays on the terminal, below the command
    else
        display_.show(view);
    redraw_.shown();
}

bool Session::send_due(Clock::time_point now) {
    Command command;
    while (pacer_.due(now, seen_, &command)) {
        if (!connection_.send_line(command.line))
            return false;
        if (command.unless_seen.empty())
            answers_due_ = now + seconds(options_.spacing);
    }
    return true;
}

void Session::take(const std::string &bytes, Clock::time_point now) {
    if (bytes.empty())
        return;
    if (options_.raw)
        display_.raw(bytes);
    // One bounded cut of the bytes, for the view and the recording alike.
    const std::vector<std::string> kinds =
        feed_.add(bytes, [&](const records::Record &record) { this->record(record, now); });
    if (feed_.over_limits() > 0 && !told_over_limits_) {
        told_over_limits_ = true;  // once: a hostile server may send nothing else
        std::fprintf(messages_, "orlex_client: the server sends records over the limits; they are dropped\n");
    }
    if (options_.raw)
        return;
    seen_.insert(kinds.begin(), kinds.end());
    if (!kinds.empty() && !options_.once)
        redraw_.changed(now);
}

bool Session::start_recording() {
    recording::Header header;
    header.server = options_.host;
    header.address = options_.host + ":" + std::to_string(options_.port);
    header.writer = "orlex_client";
    header.start_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    std::string error;
    if (!recorder_.create(options_.record_path, header, Clock::now(), &error)) {
        fail(error);
        return false;
    }
    std::fprintf(messages_, "orlex_client: recording to %s\n", options_.record_path.c_str());
    return true;
}

// Every record byte for byte, as whole records: a record cut by the connection's end is not kept.
void Session::record(const records::Record &record, Clock::time_point now) {
    std::string error;
    if (recorder_.is_open() && !recorder_.append(record.text, now, &error))
        stop_recording(error);
}

// Watching goes on without it; the file keeps what was written.
void Session::stop_recording(const std::string &error) {
    std::fprintf(messages_, "orlex_client: %s; recording stopped, watching goes on\n", error.c_str());
    recorder_.close();
}

bool Session::snapshot_ready(Clock::time_point now) const {
    return pacer_.empty() && seen_.count("SERVER") && seen_.count("PLAYER") && now >= answers_due_;
}

int Session::wait_milliseconds(Clock::time_point now) const {
    Clock::time_point until = now + std::chrono::milliseconds(kLongestWait);
    if (!pacer_.empty())
        until = std::min(until, pacer_.next_time());
    if (options_.once)
        until = std::min(until, deadline_);
    if (answers_due_ > now)
        until = std::min(until, answers_due_);
    if (redraw_.pending())
        until = std::min(until, redraw_.due_time());
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
    return static_cast<int>(std::max<long long>(0, left + 1));
}

int Session::fail(const std::string &message) {
    std::fprintf(messages_, "orlex_client: %s\n", message.c_str());
    return 1;
}

std::string Session::missing() const {
    char limit[64];
    std::snprintf(limit, sizeof(limit), " within %g s", options_.timeout);
    if (seen_.empty())
        return std::string("nothing arrived") + limit;
    const char *kind = !seen_.count("SERVER") ? "SERVER" : !seen_.count("PLAYER") ? "PLAYER" : "answer";
    return std::string("no ") + kind + " record" + limit;
}

}  // namespace client
