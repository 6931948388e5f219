#include "simhost/match.h"

#include <algorithm>

#include "simhost/bot_chat.h"
#include "simhost/bot_life.h"
#include "simhost/bot_motion.h"
#include "simhost/bot_roster.h"
#include "simhost/combat.h"
#include "simhost/game_log.h"

namespace simhost {

Match::Match(GameServer &server, const MatchOptions &options)
    : server_(server), options_(options), state_(server, options.seed), objectives_(make_objectives(state_.game.game)) {
    server_.set_map_hooks({[this](const std::string &map) { spawn_map(map); }, [this] { rejoin_bots(); }});
}

Match::~Match() { server_.set_map_hooks({}); }

void Match::begin() {
    if (!spawned_)
        spawn_map(server_.map());
    join_bots();
}

void Match::join_bots() {
    const int wanted = std::min(options_.bots, state_.world().max_clients());
    state_.bots.reserve(static_cast<size_t>(std::max(wanted, 0)));  // objectives keep indices, bots keep places
    for (int number = 0; number < wanted; ++number) {
        const BotPlan plan = plan_bot(state_.game, number, state_.random);
        const bool own_bot = state_.game.own_bots && plan.joining.bot;
        edict_t *player = own_bot ? server_.connect_game_bot(plan.joining) : server_.connect_player(plan.joining);
        if (!player)
            break;
        Bot bot;
        bot.edict = player;
        bot.slot = state_.world().index_of(player);
        bot.side = plan.side;
        bot.kind = plan.kind;
        bot.fake = plan.joining.bot;
        state_.bots.push_back(bot);
        spawn_bot(state_, state_.bots.back());
        log_entered(state_, state_.bots.back());
        log_joined_team(state_, state_.bots.back());
        schedule_first_chat(state_, state_.bots.back());
    }
}

void Match::frame() {
    state_.clock += server_.frame_time();
    // The scoreboard goes out once the plug-in has seen the new map (it forgets teams then).
    if (scores_due_) {
        rounds_.send_scores(state_);
        rounds_.log_round_start(state_);  // after the log's "Started map"
        scores_due_ = false;
    }
    respawn_due(state_);
    move_bots(state_, *objectives_);
    fight(state_);
    objectives_->update(state_);
    rounds_.update(state_, *objectives_);
    chat(state_);
    if (options_.map_seconds > 0 && state_.clock - map_started_ >= options_.map_seconds)
        change_level(next_map(state_.game.game, state_.map));
}

bool Match::change_level(const std::string &map) {
    if (!map_available(server_.engine().config().files_root, state_.game.game, map))
        return false;
    server_.change_map(map);
    return true;
}

// Before the server activates the map: a fresh scoreboard, everyone at their spawn, new objectives.
void Match::spawn_map(const std::string &map) {
    state_.map = map;
    state_.box = map_box(state_.game.game, map);
    rounds_.start_map(state_);
    for (Bot &bot : state_.bots) {
        bot.edict->v.frags = 0.0f;
        bot.deaths = 0;
        spawn_bot(state_, bot);
    }
    objectives_->spawn(state_);
    map_started_ = state_.clock;
    spawned_ = true;
    scores_due_ = true;
}

void Match::rejoin_bots() {
    for (const Bot &bot : state_.bots) {
        if (state_.game.own_bots && bot.fake)
            server_.rejoin_game_bot(bot.edict);
        else
            server_.rejoin_player(bot.edict);
    }
}

const Bot *Match::bot_of(const edict_t *player) const {
    for (const Bot &bot : state_.bots)
        if (bot.edict == player)
            return &bot;
    return nullptr;
}

double Match::time_to_rotation() const {
    return options_.map_seconds > 0 ? map_started_ + options_.map_seconds - state_.clock : -1.0;
}

}  // namespace simhost
