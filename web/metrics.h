// GET /metrics: what the gateway folds, in Prometheus's text exposition format (version 0.0.4).
// Per server (label server): link, players, scores, times, the link's counters and what alerting
// needs of the players (players by team, the worst ping and loss, the players losing over 5%).
// Per player only when asked (--metrics-players), keyed by slot: user ids change on every
// reconnect and names at will, so either would fork series without bound; slots are bounded by the
// server's size. The name is in one info series. Replays are left out.
#pragma once

#include <string>
#include <vector>

#include "web/server_fold.h"

namespace web {

constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// A packet loss above this many percent makes a player lossy.
constexpr int kLossyPercent = 5;

// Live servers only: a replay is history, not a server's present.
std::string metrics_text(const std::vector<const ServerFold *> &servers, bool per_player = false);

}  // namespace web
