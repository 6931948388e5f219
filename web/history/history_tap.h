// One watched server's log events made facts for the history: matches from map changes (scores
// from the latest team win, or the server's own team scores), joins, teams, names, leaves, kills
// with both players' latest positions, and chat lines only when asked for.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "stream/view_state.h"
#include "web/history/history_writer.h"
#include "web/log/log_event.h"

namespace web::history {

class HistoryTap {
public:
    HistoryTap(HistoryWriter &writer, std::string server, bool keep_chat);
    // The match under way ends with the watching.
    ~HistoryTap();
    HistoryTap(const HistoryTap &) = delete;
    HistoryTap &operator=(const HistoryTap &) = delete;

    // One event as it was read, with the server's state then; at Unix time now_ms.
    void take(const log::LogEvent &event, const view::State &view, int64_t now_ms);

private:
    void start_match(const std::string &map, int64_t now_ms);
    void end_match(int64_t now_ms);
    void player_fact(Fact::Type type, const log::LogPlayer &player, int64_t now_ms, const std::string &team = "");
    void kill_fact(const log::LogEvent &event, const view::State &view, int64_t now_ms);
    Fact fact(Fact::Type type, int64_t now_ms) const;

    HistoryWriter &writer_;
    const std::string server_;
    const bool keep_chat_;
    bool in_match_ = false;
    std::string map_;
    size_t facts_in_match_ = 0;
    std::vector<std::pair<std::string, int>> scores_;       // the latest team win's
    std::vector<std::pair<std::string, int>> team_scores_;  // the SERVER record's, as a fallback
    int64_t last_ms_ = 0;
};

}  // namespace web::history
