#include "web/record_pipeline.h"

#include "web/log/server_say_scrub.h"

namespace web {

size_t RecordPipeline::feed(const char *data, size_t size, Clock::time_point arrived, bool *broken) {
    stream_.feed(data, size);
    size_t handed = 0;
    while (stream_.next_any(&record_)) {
        log::scrub_server_say(&record_);  // before the fold and the recording see it
        if (check_ && !check_(record_)) {
            ++dropped_;
            continue;
        }
        for (RecordSubscriber *subscriber : subscribers_)
            subscriber->take(record_, arrived);
        ++handed;
    }
    *broken = stream_.overflowed();
    return handed;
}

}  // namespace web
