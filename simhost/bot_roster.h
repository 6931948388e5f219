// Who the bots are: names, addresses, authentication ids, sides and classes, the same for a seed.
#pragma once

#include "simhost/game_profile.h"
#include "simhost/player.h"
#include "simhost/random.h"

namespace simhost {

struct BotPlan {
    PlayerSpec joining;  // as the client connects
    int side = 0;
    const PlayerClass *kind = nullptr;
};

// The plan of bot `number` (from 0): sides alternate, each side's bots take its classes in turn,
// and half of each side are fake clients ("BOT"), the others look like people ("STEAM_0:x:y").
BotPlan plan_bot(const GameProfile &game, int number, Random &random);

}  // namespace simhost
