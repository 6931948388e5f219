// The objective entities of a game: created as each map spawns, changing as the match goes on,
// and deciding rounds.
#pragma once

#include <memory>
#include <string>

#include "simhost/match_state.h"

namespace simhost {

class Objectives {
public:
    virtual ~Objectives() = default;

    // The map's entities, created as the map spawns (the world holds none of the last map's).
    virtual void spawn(MatchState &state) = 0;
    // A new round on the same map: everything back as the map started it.
    virtual void new_round(MatchState &state) = 0;
    // One frame of play.
    virtual void update(MatchState &state) = 0;
    // Where a bot should head for the objective; false when it may go anywhere.
    virtual bool goal_for(MatchState &state, const Bot &bot, Point *goal) = 0;
    // The side that has won the round by the objective; -1 while undecided.
    virtual int round_winner(const MatchState &state) const = 0;
    // The side that wins a round whose time is up; -1 for neither.
    virtual int timeout_winner(const MatchState &state) const = 0;
    // What the game's log says ended the round (winner -1: nobody won); empty: the game writes no
    // round lines.
    virtual std::string round_event(int /*winner*/, bool /*timed_out*/) const { return ""; }
};

// The objectives of the game the state plays ("valve" deathmatch has none).
std::unique_ptr<Objectives> make_objectives(const std::string &game);
std::unique_ptr<Objectives> make_cstrike_objectives();
std::unique_ptr<Objectives> make_tfc_objectives();
std::unique_ptr<Objectives> make_dod_objectives();
std::unique_ptr<Objectives> make_nsp_objectives();

// Helpers the games share.
// Living bots of a side (-1: of either) within a radius of a point.
int bots_near(const MatchState &state, const Point &at, int side, float radius);
// The nearest living bot of a side within a radius; null when there is none.
Bot *nearest_bot(MatchState &state, const Point &at, int side, float radius);
// A new entity of a class at a point, with a model (empty: none).
edict_t *spawn_entity(MatchState &state, const std::string &classname, const Point &at, const std::string &model);
void set_model(MatchState &state, edict_t *entity, const std::string &model);
// Index of a bot in the state's list, -1 for null.
int bot_index(const MatchState &state, const Bot *bot);

}  // namespace simhost
