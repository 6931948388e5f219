// Bots aiming and shooting at the nearest enemy in range of their weapon.
#pragma once

#include "simhost/match_state.h"

namespace simhost {

// One frame of fighting: every living bot whose weapon is ready fires at the nearest enemy.
void fight(MatchState &state);

}  // namespace simhost
