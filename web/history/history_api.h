// The history's JSON API: requests read and bounded on the event loop, answered from the store on
// the history thread. The public view gets names and figures only: no auth id, and players are
// named by their row's number, never by their auth id.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "web/history/history_store.h"

namespace web::history {

constexpr std::string_view kApiPrefix = "/api/history/";
constexpr size_t kLongestText = 64;  // q and server
constexpr int kMostRows = 100;
constexpr int kFurthestOffset = 1000000;
constexpr int kLongestPeriodDays = 3650;

struct Asked {
    enum class Route { players, player, matches, match } route = Route::players;
    PlayerQuery players;
    MatchQuery matches;
    int64_t id = 0;  // player's key or match's id; 0: none such (a 404)
    // The public view's delay: kills after this (Unix ms) are not shown yet, as its radar does not
    // show them yet. 0: everything.
    int64_t shown_until_ms = 0;
    std::string record_dir;  // --record: where a match's recording is looked for
};

struct Answer {
    int status = 200;
    std::string body;
};

bool is_history_path(std::string_view path);
// False with the answer to give (400 or 404) when the request is not one to run.
bool read_request(std::string_view target, bool full, Asked *asked, Answer *refusal);
// Runs on the history thread. `full`: the asker may see auth ids.
Answer answer(const Asked &asked, HistoryStore &store, bool full, int64_t now_ms);

}  // namespace web::history
