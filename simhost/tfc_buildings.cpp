#include "simhost/tfc_buildings.h"

#include <algorithm>
#include <string>

#include "simhost/bot_life.h"
#include "simhost/objectives.h"

namespace simhost {
namespace {

const int ENGINEER = 9;
// The colour map the game paints each team's buildings with, by team (Blue, Red, Yellow, Green).
const int TEAM_COLORMAPS[4] = {41110, 1274, 14125, 28260};
const float SENTRY_HEALTH[4] = {0, 150, 180, 216};
const double BUILD_INTERVAL = 15.0, FIRST_BUILD = 8.0, UPGRADE_INTERVAL = 20.0;
const float SENTRY_RANGE = 900.0f, SWEEP_SPEED = 45.0f, SIEGE_RADIUS = 500.0f, SIEGE_DAMAGE = 12.0f;

const char *classname_of(BuildingKind kind) {
    switch (kind) {
        case BuildingKind::SENTRY:
            return "building_sentrygun";
        case BuildingKind::DISPENSER:
            return "building_dispenser";
        default:
            return "building_teleporter";
    }
}

const char *first_model_of(BuildingKind kind) {
    switch (kind) {
        case BuildingKind::SENTRY:
            return "models/sentry1.mdl";
        case BuildingKind::DISPENSER:
            return "models/dispenser.mdl";
        default:
            return "models/teleporter.mdl";
    }
}

}  // namespace

void TfcBuildings::update(MatchState &state) {
    build_due(state);
    for (Building &building : buildings_) {
        if (building.kind == Kind::SENTRY) {
            upgrade(state, building);
            aim_and_shoot(state, building);
        }
    }
    const auto destroyed = std::remove_if(buildings_.begin(), buildings_.end(),
                                          [&](Building &building) { return !withstand(state, building); });
    buildings_.erase(destroyed, buildings_.end());
}

void TfcBuildings::build_due(MatchState &state) {
    next_build_.resize(state.bots.size(), state.clock + FIRST_BUILD);
    for (size_t index = 0; index < state.bots.size(); ++index) {
        const Bot &bot = state.bots[index];
        if (bot.kind->number != ENGINEER || !alive(bot) || state.clock < next_build_[index])
            continue;
        build_next(state, static_cast<int>(index));
        next_build_[index] = state.clock + BUILD_INTERVAL;
    }
}

// The first of the engineer's buildings that is missing, in the order engineers build them.
bool TfcBuildings::build_next(MatchState &state, int owner) {
    for (const Kind kind : {Kind::SENTRY, Kind::DISPENSER, Kind::TELEPORTER_ENTRANCE, Kind::TELEPORTER_EXIT}) {
        const bool built = std::any_of(buildings_.begin(), buildings_.end(), [&](const Building &building) {
            return building.owner == owner && building.kind == kind;
        });
        if (!built) {
            build(state, owner, kind);
            return true;
        }
    }
    return false;
}

void TfcBuildings::build(MatchState &state, int owner, Kind kind) {
    const Bot &engineer = state.bots[owner];
    const Point at = state.layout.clamp(step_along(position(engineer), engineer.edict->v.v_angle[1], 48.0f), 16.0f);
    edict_t *entity = spawn_entity(state, classname_of(kind), at, first_model_of(kind));
    if (!entity)
        return;
    entity->v.colormap = TEAM_COLORMAPS[engineer.side];
    entity->v.team = state.team_of(engineer.side);
    entity->v.angles[1] = engineer.edict->v.v_angle[1];
    entity->v.max_health = kind == Kind::SENTRY ? SENTRY_HEALTH[1] : kind == Kind::DISPENSER ? 150.0f : 80.0f;
    entity->v.health = entity->v.max_health;
    Building building;
    building.entity = entity;
    building.kind = kind;
    building.owner = owner;
    building.next_upgrade = state.clock + UPGRADE_INTERVAL;
    buildings_.push_back(building);
}

void TfcBuildings::upgrade(MatchState &state, Building &sentry) {
    if (sentry.level >= 3 || state.clock < sentry.next_upgrade || !alive(state.bots[sentry.owner]))
        return;
    ++sentry.level;
    sentry.next_upgrade = state.clock + UPGRADE_INTERVAL;
    set_model(state, sentry.entity, "models/sentry" + std::to_string(sentry.level) + ".mdl");
    sentry.entity->v.max_health = SENTRY_HEALTH[sentry.level];
    sentry.entity->v.health = SENTRY_HEALTH[sentry.level];
}

// Turns to the nearest enemy in range and fires at it; sweeps from side to side when none.
void TfcBuildings::aim_and_shoot(MatchState &state, Building &sentry) {
    Bot &owner = state.bots[sentry.owner];
    const Point at = origin_of(sentry.entity);
    Bot *target = nearest_bot(state, at, 1 - owner.side, SENTRY_RANGE);
    float &yaw = sentry.entity->v.angles[1];
    if (!target) {
        yaw = normal_yaw(yaw + SWEEP_SPEED * state.frame_time());
        return;
    }
    yaw = yaw_towards(at, position(*target));
    if (state.clock < sentry.next_shot)
        return;
    sentry.next_shot = state.clock + 0.5;
    if (state.random.chance(0.6))
        hurt_bot(state, *target, &owner, 8.0f + 4.0f * sentry.level, "sentrygun");
}

bool TfcBuildings::withstand(MatchState &state, Building &building) {
    const int enemy_side = 1 - state.bots[building.owner].side;
    const int attackers = bots_near(state, origin_of(building.entity), enemy_side, SIEGE_RADIUS);
    building.entity->v.health -= static_cast<float>(attackers) * SIEGE_DAMAGE * state.frame_time();
    if (building.entity->v.health > 0.0f)
        return true;
    state.world().remove_entity(building.entity);
    return false;
}

}  // namespace simhost
