// "nsp": the marines' command chair and resource towers against the aliens' hives and resource
// towers. Enemies close by damage them; towers are rebuilt, hives heal; a team that loses its
// command chair, or all its hives, loses the round.
#include "simhost/game_log.h"
#include "simhost/objectives.h"

#include <algorithm>
#include <string>
#include <vector>

namespace simhost {
namespace {

const int MARINES = 0, ALIENS = 1;
const float SIEGE_RADIUS = 450.0f, SIEGE_DAMAGE = 30.0f, HIVE_HEALING = 15.0f;
const double REBUILD_AFTER = 45.0;

struct Plan {
    const char *classname;
    const char *model;
    int side;
    float health;
    float fraction_x, fraction_y;
};

// clang-format off
const Plan PLANS[] = {
    {"team_command", "models/b_commandchair.mdl", MARINES, 2000, 0.08f, 0.5f},
    {"team_hive", "models/b_hive.mdl", ALIENS, 2500, 0.9f, 0.2f},
    {"team_hive", "models/b_hive.mdl", ALIENS, 2500, 0.92f, 0.5f},
    {"team_hive", "models/b_hive.mdl", ALIENS, 2500, 0.9f, 0.8f},
    {"resourcetower", "models/b_resourcetower.mdl", MARINES, 600, 0.2f, 0.2f},
    {"resourcetower", "models/b_resourcetower.mdl", MARINES, 600, 0.25f, 0.8f},
    {"resourcetower", "models/b_resourcetower.mdl", MARINES, 600, 0.4f, 0.5f},
    {"alienresourcetower", "models/b_alienresourcetower.mdl", ALIENS, 600, 0.6f, 0.5f},
    {"alienresourcetower", "models/b_alienresourcetower.mdl", ALIENS, 600, 0.75f, 0.2f},
    {"alienresourcetower", "models/b_alienresourcetower.mdl", ALIENS, 600, 0.8f, 0.8f},
};
// clang-format on

struct Structure {
    const Plan *plan = nullptr;
    edict_t *entity = nullptr;  // null while a destroyed tower waits to be rebuilt
    double rebuild_at = 0.0;

    bool is(const char *classname) const { return std::string(plan->classname) == classname; }
    bool standing() const { return entity && entity->v.health > 0.0f; }
};

class NspObjectives : public Objectives {
public:
    void spawn(MatchState &state) override {
        structures_.clear();
        for (const Plan &plan : PLANS) {
            Structure structure;
            structure.plan = &plan;
            structures_.push_back(structure);
        }
        new_round(state);
    }

    void new_round(MatchState &state) override {
        for (Structure &structure : structures_) {
            if (!structure.entity)
                build(state, structure);
            else
                structure.entity->v.health = structure.plan->health;
        }
    }

    void update(MatchState &state) override {
        for (Structure &structure : structures_) {
            if (!structure.entity) {
                if (state.clock >= structure.rebuild_at)
                    build(state, structure);
                continue;
            }
            if (structure.standing())
                besiege(state, structure);
        }
    }

    bool goal_for(MatchState &, const Bot &bot, Point *goal) override {
        const Structure *nearest = nullptr;
        for (const Structure &structure : structures_)
            if (structure.plan->side != bot.side && structure.standing() &&
                (!nearest || distance(position(bot), origin_of(structure.entity)) <
                                 distance(position(bot), origin_of(nearest->entity))))
                nearest = &structure;
        if (!nearest)
            return false;
        *goal = origin_of(nearest->entity);
        return true;
    }

    int round_winner(const MatchState &) const override {
        bool chair_standing = false, hive_standing = false;
        for (const Structure &structure : structures_) {
            chair_standing = chair_standing || (structure.is("team_command") && structure.standing());
            hive_standing = hive_standing || (structure.is("team_hive") && structure.standing());
        }
        return !chair_standing ? ALIENS : !hive_standing ? MARINES : -1;
    }

    int timeout_winner(const MatchState &) const override { return -1; }

private:
    static void build(MatchState &state, Structure &structure) {
        const Plan &plan = *structure.plan;
        structure.entity =
            spawn_entity(state, plan.classname, state.box.spot(plan.fraction_x, plan.fraction_y), plan.model);
        if (!structure.entity)
            return;
        structure.entity->v.team = state.team_of(plan.side);
        structure.entity->v.max_health = plan.health;
        structure.entity->v.health = plan.health;
    }

    // Damage from enemies close by; a hive left alone heals. A fallen tower goes, to be rebuilt.
    static void besiege(MatchState &state, Structure &structure) {
        entvars_t &vars = structure.entity->v;
        const int attackers = bots_near(state, origin_of(structure.entity), 1 - structure.plan->side, SIEGE_RADIUS);
        if (attackers == 0 && structure.is("team_hive"))
            vars.health = std::min(vars.max_health, vars.health + HIVE_HEALING * state.frame_time());
        vars.health -= static_cast<float>(attackers) * SIEGE_DAMAGE * state.frame_time();
        if (vars.health > 0.0f)
            return;
        vars.health = 0.0f;
        log_game_line(state, "Team \"" + log_team(state, 1 - structure.plan->side) +
                                 "\" triggered \"structure_destroyed\" (type \"" + structure.plan->classname + "\")");
        if (structure.is("resourcetower") || structure.is("alienresourcetower")) {
            state.world().remove_entity(structure.entity);
            structure.entity = nullptr;
            structure.rebuild_at = state.clock + REBUILD_AFTER;
        }
    }

    std::vector<Structure> structures_;
};

}  // namespace

std::unique_ptr<Objectives> make_nsp_objectives() { return std::make_unique<NspObjectives>(); }

}  // namespace simhost
