// "tfc": capture the flag (each team's flag is taken by the other, carried home for ten points,
// dropped when its carrier dies and sent back after a while), and the engineers' buildings.
#include "simhost/game_log.h"
#include "simhost/objectives.h"
#include "simhost/tfc_buildings.h"

namespace simhost {
namespace {

const float TAKE_RADIUS = 72.0f, CAPTURE_RADIUS = 150.0f;
const double RETURN_AFTER = 30.0;
const int CAPTURE_POINTS = 10;
const char *const FLAG_NAMES[2] = {"Blue Flag", "Red Flag"};

struct Flag {
    edict_t *entity = nullptr;
    int side = 0;  // whose flag it is
    Point home;
    int carrier = -1;  // bot index
    double dropped_at = -1.0;
};

class TfcObjectives : public Objectives {
public:
    void spawn(MatchState &state) override {
        buildings_.clear();
        for (int side = 0; side < 2; ++side) {
            Flag &flag = flags_[side];
            flag = Flag();
            flag.side = side;
            flag.home = state.box.spot(side == 0 ? 0.06f : 0.94f, 0.5f);
            flag.entity = spawn_entity(state, "item_tfgoal", flag.home, "models/flag.mdl");
            if (!flag.entity)
                continue;
            flag.entity->v.skin = state.team_of(side);
            flag.entity->v.netname = state.strings().intern(FLAG_NAMES[side]);
        }
    }

    void new_round(MatchState &) override {}

    void update(MatchState &state) override {
        for (Flag &flag : flags_)
            if (flag.entity)
                update_flag(state, flag);
        buildings_.update(state);
    }

    bool goal_for(MatchState &state, const Bot &bot, Point *goal) override {
        const Flag &own = flags_[bot.side], &theirs = flags_[1 - bot.side];
        if (!own.entity || !theirs.entity)
            return false;
        if (theirs.carrier == bot_index(state, &bot))
            *goal = own.home;
        else if (state.random.chance(0.7))
            *goal = origin_of(theirs.entity);
        else
            *goal = origin_of(own.entity);
        return true;
    }

    int round_winner(const MatchState &) const override { return -1; }
    int timeout_winner(const MatchState &) const override { return -1; }

private:
    void update_flag(MatchState &state, Flag &flag) {
        if (flag.carrier >= 0 && !alive(state.bots[flag.carrier])) {
            flag.carrier = -1;
            flag.dropped_at = state.clock;
        }
        if (flag.carrier < 0) {
            if (flag.dropped_at >= 0.0 && state.clock - flag.dropped_at > RETURN_AFTER)
                send_home(flag);
            flag.carrier = bot_index(state, nearest_bot(state, origin_of(flag.entity), 1 - flag.side, TAKE_RADIUS));
            if (flag.carrier >= 0) {
                flag.dropped_at = -1.0;
                log_triggered(state, state.bots[flag.carrier], "Flag_Taken");
            }
            return;
        }
        const Bot &carrier = state.bots[flag.carrier];
        set_origin(flag.entity, position(carrier));
        if (flat_distance(position(carrier), flags_[carrier.side].home) < CAPTURE_RADIUS) {
            state.scores[carrier.side] += CAPTURE_POINTS;
            log_triggered(state, carrier, "Capture_Point");
            send_home(flag);
        }
    }

    static void send_home(Flag &flag) {
        set_origin(flag.entity, flag.home);
        flag.carrier = -1;
        flag.dropped_at = -1.0;
    }

    Flag flags_[2];
    TfcBuildings buildings_;
};

}  // namespace

std::unique_ptr<Objectives> make_tfc_objectives() { return std::make_unique<TfcObjectives>(); }

}  // namespace simhost
