// "cstrike": the bomb on "de_" maps and the hostages on "cs_" maps (and the bomb on any other).
#include "simhost/cstrike_bomb.h"
#include "simhost/cstrike_hostages.h"
#include "simhost/cstrike_sides.h"
#include "simhost/objectives.h"

namespace simhost {
namespace {

class CstrikeObjectives : public Objectives {
public:
    void spawn(MatchState &state) override {
        bomb_ = CstrikeBomb();
        hostages_ = CstrikeHostages();
        rescue_map_ = state.map.rfind("cs_", 0) == 0;
        if (rescue_map_)
            hostages_.spawn(state);
        else
            bomb_.spawn(state);
        new_round(state);
    }

    void new_round(MatchState &state) override {
        bomb_.new_round(state);
        hostages_.new_round();
    }

    void update(MatchState &state) override {
        bomb_.update(state);
        hostages_.update(state);
    }

    bool goal_for(MatchState &state, const Bot &bot, Point *goal) override {
        return rescue_map_ ? hostages_.goal_for(state, bot, goal) : bomb_.goal_for(state, bot, goal);
    }

    int round_winner(const MatchState &) const override { return rescue_map_ ? hostages_.winner() : bomb_.winner(); }

    // Time is on the defenders' side: of the hostages, or of the sites unless the bomb is ticking.
    int timeout_winner(const MatchState &) const override {
        if (rescue_map_)
            return TERRORISTS;
        return bomb_.ticking() ? TERRORISTS : COUNTER_TERRORISTS;
    }

    std::string round_event(int winner, bool timed_out) const override {
        if (winner < 0)
            return "Round_Draw";
        const bool terrorists = winner == TERRORISTS;
        if (rescue_map_ && hostages_.winner() == winner)
            return "All_Hostages_Rescued";
        if (!rescue_map_ && bomb_.winner() == winner)
            return terrorists ? "Target_Bombed" : "Bomb_Defused";
        if (timed_out)
            return rescue_map_ ? "Hostages_Not_Rescued" : terrorists ? "Target_Bombed" : "Target_Saved";
        return terrorists ? "Terrorists_Win" : "CTs_Win";
    }

private:
    CstrikeBomb bomb_;
    CstrikeHostages hostages_;
    bool rescue_map_ = false;
};

}  // namespace

std::unique_ptr<Objectives> make_cstrike_objectives() { return std::make_unique<CstrikeObjectives>(); }

}  // namespace simhost
