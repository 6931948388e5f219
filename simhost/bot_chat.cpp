#include "simhost/bot_chat.h"

namespace simhost {
namespace {

const char *const TO_ALL[] = {"gg",       "nice shot",  "lol", "that was close",    "anyone lagging?",
                              "good one", "wow",        "brb", "ok that was lucky", "how did you see me there",
                              "again?",   "well played"};
const char *const TO_TEAM[] = {"cover me",        "need backup here", "going left",     "watch the flank",
                               "regroup at base", "enemy spotted",    "hold this spot", "push now"};

template <size_t N>
const char *pick(Random &random, const char *const (&lines)[N]) {
    return lines[random.below(static_cast<int>(N))];
}

void next_chat_in(MatchState &state, Bot &bot, float low, float high) {
    bot.next_chat = state.clock + state.random.real(low, high);
}

}  // namespace

void schedule_first_chat(MatchState &state, Bot &bot) { next_chat_in(state, bot, 5.0f, 40.0f); }

void chat(MatchState &state) {
    for (Bot &bot : state.bots) {
        if (bot.fake || bot.gone || state.clock < bot.next_chat)
            continue;
        if (state.game.teams && state.random.chance(0.4))
            state.server.say_team(bot.edict, pick(state.random, TO_TEAM));
        else
            state.server.say(bot.edict, pick(state.random, TO_ALL));
        next_chat_in(state, bot, 20.0f, 90.0f);
    }
}

}  // namespace simhost
