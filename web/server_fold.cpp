#include "web/server_fold.h"

#include <chrono>

namespace web {

void ServerFold::take(const records::Record &record, Clock::time_point) {
    take_at(record,
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count());
}

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
