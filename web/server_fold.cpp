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

}  // namespace web
