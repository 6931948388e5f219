// GET /metrics: what the gateway folds, in Prometheus's text exposition format (version 0.0.4).
// Per server (label server): link, players, scores, times and the link's counters; per player
// (labels server, player = user id, name): frags, deaths, ping, loss, health. A player who left is
// not in the next scrape, so label sets stay bounded by the servers' slots. Replays are left out.
#pragma once

#include <string>
#include <vector>

#include "web/server_fold.h"

namespace web {

constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// Live servers only: a replay is history, not a server's present.
std::string metrics_text(const std::vector<const ServerFold *> &servers);

}  // namespace web
