// "dod": control points along the map, captured by standing at them unopposed; a team that holds
// them all wins the round.
#include "simhost/game_log.h"
#include "simhost/objectives.h"

#include <vector>

namespace simhost {
namespace {

const int POINTS = 5;
const char *const POINT_NAMES[POINTS] = {"Bridge", "Church", "Town Square", "Bunker", "Crossroads"};
// By owner: nobody, Allies, Axis.
const char *const FLAG_MODELS[3] = {"models/w_wflag.mdl", "models/w_aflag.mdl", "models/w_gflag.mdl"};
const float CAPTURE_RADIUS = 220.0f;
const double CAPTURE_TIME = 6.0;  // seconds for one player; more players take less

struct ControlPoint {
    edict_t *entity = nullptr;
    int first_owner = 0;  // entvars body: 0 nobody, 1 Allies, 2 Axis
    int capturer = -1;    // side
    double progress = 0.0;
};

class DodObjectives : public Objectives {
public:
    void spawn(MatchState &state) override {
        points_.clear();
        for (int number = 0; number < POINTS; ++number) {
            const Point at = state.box.spot(0.15f + 0.175f * number, state.random.real(0.3f, 0.7f));
            ControlPoint point;
            point.entity = spawn_entity(state, "dod_control_point", at, FLAG_MODELS[0]);
            if (!point.entity)
                continue;
            point.entity->v.netname = state.strings().intern(POINT_NAMES[number]);
            point.first_owner = number == 0 ? 1 : number == POINTS - 1 ? 2 : 0;
            points_.push_back(point);
        }
        new_round(state);
    }

    void new_round(MatchState &state) override {
        for (ControlPoint &point : points_) {
            set_owner(state, point, point.first_owner);
            point.capturer = -1;
            point.progress = 0.0;
        }
    }

    void update(MatchState &state) override {
        for (ControlPoint &point : points_)
            contest(state, point);
    }

    bool goal_for(MatchState &state, const Bot &bot, Point *goal) override {
        const ControlPoint *nearest = nullptr;
        for (const ControlPoint &point : points_)
            if (point.entity->v.body != state.team_of(bot.side) &&
                (!nearest || flat_distance(position(bot), origin_of(point.entity)) <
                                 flat_distance(position(bot), origin_of(nearest->entity))))
                nearest = &point;
        if (!nearest && !points_.empty())
            nearest = &points_[state.random.below(static_cast<int>(points_.size()))];
        if (!nearest)
            return false;
        *goal = origin_of(nearest->entity);
        return true;
    }

    int round_winner(const MatchState &) const override {
        if (points_.empty())
            return -1;
        const int owner = points_.front().entity->v.body;
        for (const ControlPoint &point : points_)
            if (point.entity->v.body != owner)
                return -1;
        return owner - 1;
    }

    int timeout_winner(const MatchState &) const override {
        int held[3] = {0, 0, 0};
        for (const ControlPoint &point : points_)
            ++held[point.entity->v.body];
        return held[1] == held[2] ? -1 : held[1] > held[2] ? 0 : 1;
    }

private:
    static void set_owner(MatchState &state, ControlPoint &point, int owner) {
        point.entity->v.body = owner;
        set_model(state, point.entity, FLAG_MODELS[owner]);
    }

    // Only one side may stand at a point to capture it; a contested point holds its progress.
    static void contest(MatchState &state, ControlPoint &point) {
        const Point at = origin_of(point.entity);
        const int allies = bots_near(state, at, 0, CAPTURE_RADIUS), axis = bots_near(state, at, 1, CAPTURE_RADIUS);
        if (allies > 0 && axis > 0)
            return;
        const int side = allies > 0 ? 0 : axis > 0 ? 1 : -1;
        if (side < 0 || state.team_of(side) == point.entity->v.body) {
            point.capturer = -1;
            point.progress = 0.0;
            return;
        }
        if (point.capturer != side) {
            point.capturer = side;
            point.progress = 0.0;
        }
        point.progress += state.frame_time() * (side == 0 ? allies : axis);
        if (point.progress >= CAPTURE_TIME) {
            log_game_line(state, "Team \"" + log_team(state, side) + "\" triggered \"dod_control_point\"");
            set_owner(state, point, state.team_of(side));
            point.capturer = -1;
            point.progress = 0.0;
        }
    }

    std::vector<ControlPoint> points_;
};

}  // namespace

std::unique_ptr<Objectives> make_dod_objectives() { return std::make_unique<DodObjectives>(); }

}  // namespace simhost
