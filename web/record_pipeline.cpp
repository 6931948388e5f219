#include "web/record_pipeline.h"

namespace web {

size_t RecordPipeline::feed(const char *data, size_t size, Clock::time_point arrived, bool *broken) {
    stream_.feed(data, size);
    size_t handed = 0;
    while (stream_.next_any(&record_)) {
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
