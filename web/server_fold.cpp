#include "web/server_fold.h"

#include "web/wall_clock.h"

namespace web {

void ServerFold::take(const records::Record &record, Clock::time_point arrived) { take_at(record, wall_ms(arrived)); }

void ServerFold::take_at(const records::Record &record, std::int64_t wall_ms) {
    if (record.type.empty()) {
        ++counters.malformed;
        return;
    }
    state.view().now_ms = wall_ms;
    view::fold(state.view(), record);
    ++counters.records;
}

void ServerFold::take_log(const std::string &text) {
    if (events.take_text(text))
        ++counters.log_lines;
    else
        ++counters.log_malformed;
}

}  // namespace web
