// Bots entering play, being hurt, dying and coming back.
#pragma once

#include <string>

#include "simhost/match_state.h"

namespace simhost {

// Back into play at the side's spawn: full health and armour, a weapon, standing.
void spawn_bot(MatchState &state, Bot &bot);
// Damage to a living bot from another (or from nobody); armour takes half of it while it lasts.
void hurt_bot(MatchState &state, Bot &victim, Bot *attacker, float damage, const std::string &weapon,
              bool headshot = false);
// The killer's frag (a suicide costs one), the victim's death and the game's DeathMsg.
void kill_bot(MatchState &state, Bot &victim, Bot *killer, const std::string &weapon, bool headshot = false);
// Dead bots whose time to come back has come.
void respawn_due(MatchState &state);

}  // namespace simhost
