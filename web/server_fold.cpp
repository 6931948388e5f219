#include "web/server_fold.h"

namespace web {

void ServerFold::take(const records::Record &record, Clock::time_point) {
    if (record.type.empty()) {
        ++counters.malformed;
        return;
    }
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
