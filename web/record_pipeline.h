// One server's bytes become records once: a bounded RecordStream cuts them, each record is checked,
// then handed to every subscriber (the state fold, the recorder) once, in order.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include "stream/records.h"

namespace web {

class RecordSubscriber {
public:
    using Clock = std::chrono::steady_clock;
    // One record as it arrived. A record whose text does not parse has an empty type (kept whole for
    // the recording, skipped by the fold).
    virtual void take(const records::Record &record, Clock::time_point arrived) = 0;

protected:
    ~RecordSubscriber() = default;
};

class RecordPipeline {
public:
    using Clock = RecordSubscriber::Clock;
    // Looks at each record before any subscriber does; false drops it (counted in dropped()).
    using Check = std::function<bool(const records::Record &)>;

    void subscribe(RecordSubscriber *subscriber) { subscribers_.push_back(subscriber); }
    void set_check(Check check) { check_ = std::move(check); }

    // Bytes off the connection; the number of records handed on. False in *broken when the stream
    // broke its bound (more than RecordStream::kLongestPending bytes without a record end).
    size_t feed(const char *data, size_t size, Clock::time_point arrived, bool *broken);
    // A new connection: a record cut off by the last one's end is dropped.
    void new_connection() { stream_.reset(); }
    size_t pending() const { return stream_.pending(); }
    size_t dropped() const { return dropped_; }

private:
    records::RecordStream stream_;
    records::Record record_;  // reused: one allocation per field, not per record
    std::vector<RecordSubscriber *> subscribers_;
    Check check_;
    size_t dropped_ = 0;
};

}  // namespace web
