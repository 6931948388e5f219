#include "simhost/objectives.h"

namespace simhost {
namespace {

class NoObjectives : public Objectives {
public:
    void spawn(MatchState &) override {}
    void new_round(MatchState &) override {}
    void update(MatchState &) override {}
    bool goal_for(MatchState &, const Bot &, Point *) override { return false; }
    int round_winner(const MatchState &) const override { return -1; }
    int timeout_winner(const MatchState &) const override { return -1; }
};

}  // namespace

std::unique_ptr<Objectives> make_objectives(const std::string &game) {
    if (game == "cstrike")
        return make_cstrike_objectives();
    if (game == "tfc")
        return make_tfc_objectives();
    if (game == "dod")
        return make_dod_objectives();
    if (game == "nsp")
        return make_nsp_objectives();
    return std::make_unique<NoObjectives>();
}

int bots_near(const MatchState &state, const Point &at, int side, float radius) {
    int count = 0;
    for (const Bot &bot : state.bots)
        if (alive(bot) && (side < 0 || bot.side == side) && distance(position(bot), at) <= radius)
            ++count;
    return count;
}

Bot *nearest_bot(MatchState &state, const Point &at, int side, float radius) {
    Bot *nearest = nullptr;
    float best = radius;
    for (Bot &bot : state.bots) {
        const float away = distance(position(bot), at);
        if (alive(bot) && (side < 0 || bot.side == side) && away <= best) {
            nearest = &bot;
            best = away;
        }
    }
    return nearest;
}

edict_t *spawn_entity(MatchState &state, const std::string &classname, const Point &at, const std::string &model) {
    edict_t *entity = state.world().create_entity(classname);
    if (!entity)
        return nullptr;
    set_origin(entity, at);
    set_model(state, entity, model);
    return entity;
}

void set_model(MatchState &state, edict_t *entity, const std::string &model) {
    entity->v.model = model.empty() ? 0 : state.strings().intern(model);  // none: the null string
}

int bot_index(const MatchState &state, const Bot *bot) { return bot ? static_cast<int>(bot - state.bots.data()) : -1; }

}  // namespace simhost
