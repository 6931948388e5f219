// Whole records folded into a server's state through the gateway's own pipeline.
#pragma once

#include <string>

#include "web/record_pipeline.h"
#include "web/server_fold.h"

namespace web_testing {

inline void fold_into(web::ServerFold &fold, const std::string &bytes) {
    web::RecordPipeline pipeline;
    pipeline.subscribe(&fold);
    bool broken = false;
    pipeline.feed(bytes.data(), bytes.size(), web::RecordPipeline::Clock::now(), &broken);
}

}  // namespace web_testing
