// Bots walking the map: each heads for a goal (often the objective's), turning as it goes.
#pragma once

#include "simhost/match_state.h"
#include "simhost/objectives.h"

namespace simhost {

// One frame of walking for every living bot.
void move_bots(MatchState &state, Objectives &objectives);

}  // namespace simhost
