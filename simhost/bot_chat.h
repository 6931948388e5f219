// Now and then a bot that looks like a person types something, to everyone or to its team.
#pragma once

#include "simhost/match_state.h"

namespace simhost {

// Chat due this frame. Fake clients never chat: the plug-in would not relay them anyway.
void chat(MatchState &state);
// When a bot first has something to say.
void schedule_first_chat(MatchState &state, Bot &bot);

}  // namespace simhost
