#include "soak/cycle_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace soak {

namespace {

const size_t KEPT_NOTES = 20;

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f s", seconds);
    return text;
}

}  // namespace

double longest_step(const CycleRules &rules) { return 1.5 * rules.refresh_seconds; }

const std::vector<std::string> &chat_kinds() {
    static const std::vector<std::string> kinds = {"SAY", "SAY_TEAM", "SERVER_SAY"};
    return kinds;
}

void CycleCheck::take(const records::Record &record) {
    ++records_;
    const std::vector<std::string> &chat = chat_kinds();
    if (std::find(chat.begin(), chat.end(), record.type) != chat.end()) {
        ++chat_;
        return;
    }
    if (record.type == "SERVER") {
        start_cycle(record);
        return;
    }
    if (synchronised_)
        step(record.type);
}

void CycleCheck::start_cycle(const records::Record &server) {
    if (synchronised_ && next_ != 0)
        fault("a cycle cut short before its " + due() + " record");
    synchronised_ = true;
    next_ = 1;
    const std::string timeleft = server.value("TIMELEFT");
    char *end = nullptr;
    const double clock = rules_.time_limit_seconds - std::strtod(timeleft.c_str(), &end);
    if (timeleft.empty() || *end != '\0' || !std::isfinite(clock)) {
        fault("a SERVER record without a readable TIMELEFT: \"" + timeleft + "\"");
        return;
    }
    check_clock(server.value("MAP_NAME"), clock);
}

void CycleCheck::check_clock(const std::string &map, double clock) {
    if (has_clock_) {
        const bool new_map = map != map_ || clock < clock_;
        // Across a map change: the rest of the old map, then the new map's clock since its start
        // (the engine's clock starts at one second).
        const double step = new_map ? (1.0 + rules_.map_seconds - clock_) + (clock - 1.0) : clock - clock_;
        map_changes_ += new_map ? 1 : 0;
        played_ += std::max(step, 0.0);
        if (step <= 0.0 && !new_map)
            fault("the clock did not move between two cycles on " + map);
        if (step > longest_step(rules_)) {
            const auto lost = static_cast<std::uint64_t>(std::lround(step / rules_.refresh_seconds)) - 1;
            missed_ += std::max<std::uint64_t>(lost, 1);
            fault("a step of " + seconds_text(step) + " between two cycles on " + map);
        }
    }
    has_clock_ = true;
    map_ = map;
    clock_ = clock;
}

void CycleCheck::step(const std::string &kind) {
    if (next_ == 0) {
        fault("a " + kind + " record outside a cycle");
        return;
    }
    if (kind != due()) {
        fault("a " + kind + " record where " + due() + " was due");
        return;
    }
    if (kind == "PLAYER") {
        next_ = 0;
        ++cycles_;
    } else {
        ++next_;
    }
}

std::string CycleCheck::due() const {
    return next_ >= 1 && next_ <= rules_.objectives.size() ? rules_.objectives[next_ - 1] : "PLAYER";
}

void CycleCheck::fault(const std::string &what) {
    ++faults_;
    if (notes_.size() < KEPT_NOTES)
        notes_.push_back("after " + std::to_string(records_) + " records: " + what);
}

}  // namespace soak
