// A simulated player of the match: the edict the engine gave it and what it is up to.
#pragma once

#include "sdk/eiface.h"
#include "simhost/game_profile.h"
#include "simhost/geometry.h"

namespace simhost {

struct Bot {
    edict_t *edict = nullptr;
    int slot = 0;  // the edict's index, as the game's messages name players
    int side = 0;  // 0 or 1; always 0 in a game without teams
    const PlayerClass *kind = nullptr;
    bool fake = true;  // flagged FL_FAKECLIENT; only the others chat
    int weapon = 0;    // into the side's weapons
    int deaths = 0;
    double respawn_at = -1.0;      // on the match clock; below 0 while alive or waiting for the round
    double protected_until = 0.0;  // no harm comes to a bot just back in play
    double next_shot = 0.0;
    double next_chat = 0.0;
    double goal_deadline = 0.0;  // a goal not reached by then is given up
    bool has_goal = false;
    Point goal;
    float speed = 220.0f;
    bool gone = false;  // kicked, or refused when joining again: out of the match for good
};

inline bool alive(const Bot &bot) { return !bot.gone && bot.edict->v.deadflag == DEAD_NO; }
inline Point position(const Bot &bot) { return origin_of(bot.edict); }

}  // namespace simhost
